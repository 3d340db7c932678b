#include "tests/e2e/texts.h"

#include <cstdio>

#include "texts/messages.h"

namespace kiv {

namespace {

// A text of texts/messages.h with each "%s" filled in with `value`.
std::string filled(const char* format, const std::string& value) {
  const char* v = value.c_str();
  std::string out(std::snprintf(nullptr, 0, format, v, v, v), '\0');
  std::snprintf(out.data(), out.size() + 1, format, v, v, v);
  return out;
}

}  // namespace

std::string help_screen(const std::string& program) {
  return std::string("\n"
                     " ************************\n"
                     " ***       Kiv        ***\n"
                     " ***  Kiv-Team 2026   ***\n"
                     " ************************\n"
                     "\n"
                     " Version ") + kVersion + ", " + kVersionDate + "\n"
         "\n"
         " Loescht Zeilenumbruchzeichen.\n"
         "\n" +
         filled(kSyntaxLine, program) +
         " Optionen (durch Leerzeichen getrennt):\n"
         "  -z\tZeilenumbruchzeichen werden durch die Zeichenfolge \\n ersetzt.\n"
         "  -a\tAnfuehrungszeichen (\") werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -r\tRueckstriche (\\) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -t\tTabulatorzeichen werden durch die Zeichenfolge \\t ersetzt.\n"
         "  -sr\tSchraegstriche (/) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -ss\tSenkrechte Striche (|) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -p\tPunkte (.) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -sk\tSemikolonzeichen (;) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -st\tSterne (*) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -kr\tDoppelkreuze (#) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -%\tProzentzeichen (%) werden mit einem % maskiert (%%).\n"
         "  -k\tKaufmaennische Und-Zeichen (&) werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -rk\tRunde Klammern () werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -ek\tEckige Klammern [] werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -gk\tGeschweifte Klammern {} werden mit einem Rueckstrich (\\) maskiert.\n"
         "  -l\tLeerzeichen am Zeilenende bleiben erhalten.\n"
         "  -h\tAuch Zeilenumbrueche nach HTML-Klammern (>) werden ersetzt. "
         "Leerzeichen nach > bleiben erhalten.\n"
         "  -H\t<- und >-Zeichen werden durch HTML-Metazeichen (&lt; und &gt;) ersetzt.\n"
         "\n"
         "  -C\tEntspricht -z -a -r -t -% -h (fuer C-Syntax).\n"
         "  -P\tEntspricht -z -a -r -t -h (fuer PHP-Syntax).\n"
         "  -J\tEntspricht -z -a -r -t -sr -h (fuer Javascript-Syntax).\n"
         "  -B\tEntspricht -z -a -r -t -h (fuer Bash-Syntax).\n"
         "  -S\tEntspricht -z -a -r -t -sr -p -sk -st -kr -k -ek -h (fuer Sed-Syntax).\n"
         "  -D\tGibt entsprechend der oben gewaehlten Syntax einen Druckbefehl "
         "bzw. eine Sed-Skriptzeile aus.\n"
         "  -Du\tWie -D, zusaetzlich wird noch eine passende Druckumgebung ausgegeben.\n"
         "\n"
         "  -E\tLiest von der Standardeingabe. Stattdessen kann auch - als "
         "Dateiname fuer die Eingabedatei verwendet werden.\n"
         "  -A\tSchreibt in die Standardausgabe. Stattdessen kann auch - als "
         "Dateiname fuer die Ausgabedatei verwendet werden.\n";
}

std::string usage_error(const std::string& program) {
  return "\n" + filled(kSyntaxLine, program) + filled(kUsageHint, program);
}

std::string same_name(const std::string& name) {
  return filled(kSameFile, name);
}
std::string no_source(const std::string& name) {
  return filled(kSourceMissing, name);
}
std::string unwritable(const std::string& name) {
  return filled(kTargetUnwritable, name);
}
std::string unreadable(const std::string& name) {
  return filled(kSourceUnreadable, name);
}

const std::string kChainResult =
    "#include <stdio.h>\n"
    "\n"
    "int main()\n"
    "{\n"
    R"(printf("<script type=\"text/javascript\">\n<!--\ndocument.write(\"Dies ist ein Quelltext.\\n\\n\");\n//-->\n</script>\n\n\n");)"
    "\n"
    "} // main()\n";

const std::string kChainJavaScript =
    "<script type=\"text/javascript\">\n"
    "<!--\n"
    R"(document.write("Dies ist ein Quelltext.\n\n");)"
    "\n"
    "//-->\n"
    "</script>\n"
    "\n";

const std::string kWarning = filled(kMultiSyntaxWarning, kPrintFileCommand);

}  // namespace kiv
