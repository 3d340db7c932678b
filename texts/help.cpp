#include "texts/help.h"

#include "texts/messages.h"

namespace kiv {
namespace {

constexpr char kBanner[] =
    "\n"
    " ************************\n"
    " ***       Kiv        ***\n"
    " ***  Kiv-Team 2026   ***\n"
    " ************************\n"
    "\n";

constexpr char kVersionLine[] = " Version %s, %s\n\n";

constexpr char kSummary[] = " Loescht Zeilenumbruchzeichen.\n\n";

// Plain text, printed as it is (the web page shows it too).
constexpr char kOptionList[] =
    " Optionen (durch Leerzeichen getrennt):\n"
    "  -z\tZeilenumbruchzeichen werden durch die Zeichenfolge \\n ersetzt.\n"
    "  -a\tAnfuehrungszeichen (\") werden mit einem Rueckstrich (\\) "
    "maskiert.\n"
    "  -r\tRueckstriche (\\) werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -t\tTabulatorzeichen werden durch die Zeichenfolge \\t ersetzt.\n"
    "  -sr\tSchraegstriche (/) werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -ss\tSenkrechte Striche (|) werden mit einem Rueckstrich (\\) "
    "maskiert.\n"
    "  -p\tPunkte (.) werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -sk\tSemikolonzeichen (;) werden mit einem Rueckstrich (\\) "
    "maskiert.\n"
    "  -st\tSterne (*) werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -kr\tDoppelkreuze (#) werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -%\tProzentzeichen (%) werden mit einem % maskiert (%%).\n"
    "  -k\tKaufmaennische Und-Zeichen (&) werden mit einem Rueckstrich (\\) "
    "maskiert.\n"
    "  -rk\tRunde Klammern () werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -ek\tEckige Klammern [] werden mit einem Rueckstrich (\\) maskiert.\n"
    "  -gk\tGeschweifte Klammern {} werden mit einem Rueckstrich (\\) "
    "maskiert.\n"
    "  -l\tLeerzeichen am Zeilenende bleiben erhalten.\n"
    "  -h\tAuch Zeilenumbrueche nach HTML-Klammern (>) werden ersetzt. "
    "Leerzeichen nach > bleiben erhalten.\n"
    "  -H\t<- und >-Zeichen werden durch HTML-Metazeichen (&lt; und &gt;) "
    "ersetzt.\n"
    "\n"
    "  -C\tEntspricht -z -a -r -t -% -h (fuer C-Syntax).\n"
    "  -P\tEntspricht -z -a -r -t -h (fuer PHP-Syntax).\n"
    "  -J\tEntspricht -z -a -r -t -sr -h (fuer Javascript-Syntax).\n"
    "  -B\tEntspricht -z -a -r -t -h (fuer Bash-Syntax).\n"
    "  -S\tEntspricht -z -a -r -t -sr -p -sk -st -kr -k -ek -h (fuer "
    "Sed-Syntax).\n"
    "  -D\tGibt entsprechend der oben gewaehlten Syntax einen Druckbefehl "
    "bzw. eine Sed-Skriptzeile aus.\n"
    "  -Du\tWie -D, zusaetzlich wird noch eine passende Druckumgebung "
    "ausgegeben.\n"
    "\n"
    "  -E\tLiest von der Standardeingabe. Stattdessen kann auch - als "
    "Dateiname fuer die Eingabedatei verwendet werden.\n"
    "  -A\tSchreibt in die Standardausgabe. Stattdessen kann auch - als "
    "Dateiname fuer die Ausgabedatei verwendet werden.\n";

}  // namespace

const char* help_option_list() { return kOptionList; }

void show_help(std::FILE* output, const char* program_path) {
  std::fputs(kBanner, output);
  std::fprintf(output, kVersionLine, kVersion, kVersionDate);
  std::fputs(kSummary, output);
  std::fprintf(output, kSyntaxLine, program_path);
  std::fputs(kOptionList, output);
}

void show_usage_error(std::FILE* output, const char* program_path) {
  std::fputc('\n', output);
  std::fprintf(output, kSyntaxLine, program_path);
  std::fprintf(output, kUsageHint, program_path);
}

}  // namespace kiv
