#include "tests/e2e/texts.h"

namespace kiv {

std::string help_screen(const std::string& program) {
  return "\n"
         " ************************\n"
         " ***       Kiv        ***\n"
         " ***  Kiv-Team 2026   ***\n"
         " ************************\n"
         "\n"
         " Version 5.1, 20.08.2020\n"
         "\n"
         " Loescht Zeilenumbruchzeichen.\n"
         "\n"
         " Syntax: " + program + " [<Quelldatei>] [<Zieldatei>] [Optionen]\n"
         "\n"
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
  return "\n"
         " Syntax: " + program + " [<Quelldatei>] [<Zieldatei>] [Optionen]\n"
         "\n"
         " Bitte geben Sie\n"
         " - Quell- UND Zieldatei an, wenn Sie keine der Optionen -E oder -A verwenden,\n"
         " - eine Quelldatei an, wenn Sie die Option -A verwenden,\n"
         " - eine Zieldatei an, wenn Sie die Option -E verwenden,\n"
         " - oder benutzen Sie -E und -A: Dann liest " + program +
         " von der Standardeingabe\n"
         "   und schreibt in die Standardausgabe.\n"
         " Dateinamen duerfen nicht mit \"-\" beginnen.\n";
}

std::string same_name(const std::string& name) {
  return "\n Quell- und Zieldateiname " + name + " sind identisch.\n";
}
std::string no_source(const std::string& name) {
  return " Quelldatei " + name + " existiert nicht.\n";
}
std::string unwritable(const std::string& name) {
  return " Zieldatei " + name + " kann nicht geschrieben werden.\n";
}
std::string unreadable(const std::string& name) {
  return " Quelldatei " + name + " kann nicht gelesen werden.\n";
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

const std::string kWarning =
    "\n"
    "Bitte nur eine der Optionen -C, -P, -J, -B oder -S eingeben.\n"
    "Sonst kommt Unsinn heraus (s. o.)!\n"
    "Zum Schachteln mehrerer Ebenen die Funktion mehrmals ausfuehren.\n"
    "\n"
    "Beispiel:\n"
    "Sie wollen einen C-Befehl erzeugen, der eine Javascript-Funktion mit\n"
    "Druckumgebung ausgibt, die ihererseits wieder einen Text ausgeben soll.\n"
    "1. Sie schreiben den Text in die Datei \"Quelltext\".\n"
    "2. Sie geben ein:\n"
    "\tKiv Quelltext Javatext.js -J -Du\n"
    "\tKiv Javatext.js C-Text.c -C -Du\n"
    "   oder:\n"
    "\tKiv Quelltext -J -Du -A | Kiv C-Text.c -C -Du -E\n"
    "   oder:\n"
    "\tKiv Quelltext - -J -Du | Kiv - C-Text.c -C -Du\n"
    "   oder:\n"
    "\ttype Quelltext | Kiv -J -Du -E -A | Kiv C-Text.c -C -Du -E\n"
    "   oder:\n"
    "\ttype Quelltext | Kiv - - -J -Du | Kiv - C-Text.c -C -Du\n"
    "   oder:\n"
    "\ttype Quelltext | KivS -J -Du | KivS -C -Du > C-Text.c\n"
    "3. Als Ergebnis erhalten Sie folgende Datei C-Text.c:\n"
    "\n" +
    kChainResult;

}  // namespace kiv
