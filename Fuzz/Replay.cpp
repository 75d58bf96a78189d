// A libFuzzer harness without libFuzzer: every input file of the
// directories (or files) given, once each, through LLVMFuzzerInitialize and
// LLVMFuzzerTestOneInput. The default test build replays the committed
// corpora with it, so a harness that does not build, or a corpus input
// that now finds something, fails there and not only in the clang fuzz
// build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerInitialize (int *Argc, char ***Argv);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t *Data, size_t Size);

int
main (int Argc, char **Argv)
{
  std::vector<std::filesystem::path>  Inputs;

  LLVMFuzzerInitialize (&Argc, &Argv);
  for (int Index = 1; Index < Argc; Index++) {
    std::filesystem::path  Path (Argv[Index]);
    if (std::filesystem::is_directory (Path)) {
      for (const auto &Entry : std::filesystem::directory_iterator (Path)) {
        Inputs.push_back (Entry.path ());
      }
    } else {
      Inputs.push_back (Path);
    }
  }

  for (const std::filesystem::path &Input : Inputs) {
    std::ifstream         In (Input, std::ios::binary);
    std::vector<uint8_t>  Data ((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput (Data.data (), Data.size ());
  }

  std::printf ("replayed %zu inputs, no finding\n", Inputs.size ());
  return Inputs.empty () ? 1 : 0;
}
