// oskel-sim: boots the BMC command PEIM on a virtual board, runs a script of
// operations, and shows everything the module did.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "VirtualBoard.h"

int
main (int argc, char **argv)
{
  using namespace OskelSim;

  SimulatorOptions  Options;
  std::string       Error;
  bool              Help = false;

  if (!ParseOptions (std::vector<std::string>(argv + 1, argv + argc), Options, Error, Help)) {
    std::fprintf (stderr, "oskel-sim: %s (see --help)\n", Error.c_str ());
    return 2;
  }

  if (Help) {
    std::printf ("%s\nScript operations, one per slot:\n%s", OptionsHelp ().c_str (), ScriptUsage ().c_str ());
    return 0;
  }

  std::vector<ScriptStep>  Steps;
  if (!Options.ScriptPath.empty ()) {
    std::ifstream  File (Options.ScriptPath);
    if (!File) {
      std::fprintf (stderr, "oskel-sim: cannot read script %s\n", Options.ScriptPath.c_str ());
      return 2;
    }

    std::stringstream  Text;
    Text << File.rdbuf ();
    const size_t       Slash = Options.ScriptPath.rfind ('/');
    const std::string  Directory = Slash == std::string::npos ? std::string () : Options.ScriptPath.substr (0, Slash);
    if (!ParseScript (Text.str (), Directory, Steps, Error)) {
      std::fprintf (stderr, "oskel-sim: script %s, %s\n", Options.ScriptPath.c_str (), Error.c_str ());
      return 2;
    }
  }

  VirtualBoard  Board (Options);
  if (!Board.Connect (Error)) {
    std::fprintf (stderr, "oskel-sim: %s\n", Error.c_str ());
    return 1;
  }

  const EFI_STATUS  Boot = Board.Boot ();
  Board.Run (Steps);
  Board.AddKcsPortSection ();

  const std::vector<BmcSummary>  Summary = Board.Summary ();
  if (Options.Quiet) {
    for (const Section &S : Board.Sections) {
      std::printf ("== %s\n  => %s\n", S.Title.c_str (), S.Result.c_str ());
      for (const std::string &Line : S.Outputs) {
        std::printf ("     %s\n", Line.c_str ());
      }
    }

    WriteText (stdout, Board.Board.Log, {}, Summary);
  } else {
    WriteText (stdout, Board.Board.Log, Board.Sections, Summary);
  }

  int  Exit = EFI_ERROR (Boot) ? 1 : 0;
  if (!Options.JsonPath.empty () && !WriteJson (Options.JsonPath, Board.Board.Log, Board.Sections, Summary, Error)) {
    std::fprintf (stderr, "oskel-sim: %s\n", Error.c_str ());
    Exit = 1;
  }

  if (!Options.PcapPath.empty () && !WritePcap (Options.PcapPath, Board.Board.Log, Error)) {
    std::fprintf (stderr, "oskel-sim: %s\n", Error.c_str ());
    Exit = 1;
  }

  return Exit;
}
