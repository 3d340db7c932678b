#ifndef KIV_TEXTS_MESSAGES_H_
#define KIV_TEXTS_MESSAGES_H_

// The fixed console texts and the warning. Each "%s" takes a file name,
// the program path or, in the warning, the console command that prints a
// file; the texts are formats and nothing else is ever used as one.

namespace kiv {

inline constexpr char kVersion[] = "5.1";
inline constexpr char kVersionDate[] = "20.08.2020";

// The syntax line of the help screen; the usage error puts an empty line
// before it.
inline constexpr char kSyntaxLine[] =
    " Syntax: %s [<Quelldatei>] [<Zieldatei>] [Optionen]\n\n";

inline constexpr char kUsageHint[] =
    " Bitte geben Sie\n"
    " - Quell- UND Zieldatei an, wenn Sie keine der Optionen -E oder -A "
    "verwenden,\n"
    " - eine Quelldatei an, wenn Sie die Option -A verwenden,\n"
    " - eine Zieldatei an, wenn Sie die Option -E verwenden,\n"
    " - oder benutzen Sie -E und -A: Dann liest %s von der Standardeingabe\n"
    "   und schreibt in die Standardausgabe.\n"
    " Dateinamen duerfen nicht mit \"-\" beginnen.\n";

inline constexpr char kSameFile[] =
    "\n Quell- und Zieldateiname %s sind identisch.\n";
inline constexpr char kSourceMissing[] = " Quelldatei %s existiert nicht.\n";
inline constexpr char kTargetUnwritable[] =
    " Zieldatei %s kann nicht geschrieben werden.\n";
inline constexpr char kSourceUnreadable[] =
    " Quelldatei %s kann nicht gelesen werden.\n";

// The console command that prints a file, as the warning names it.
inline constexpr char kPrintFileCommand[] = "type";

inline constexpr char kMultiSyntaxWarning[] =
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
    "\t%s Quelltext | Kiv -J -Du -E -A | Kiv C-Text.c -C -Du -E\n"
    "   oder:\n"
    "\t%s Quelltext | Kiv - - -J -Du | Kiv - C-Text.c -C -Du\n"
    "   oder:\n"
    "\t%s Quelltext | KivS -J -Du | KivS -C -Du > C-Text.c\n"
    "3. Als Ergebnis erhalten Sie folgende Datei C-Text.c:\n"
    "\n"
    "#include <stdio.h>\n"
    "\n"
    "int main()\n"
    "{\n"
    "printf(\"<script type=\\\"text/javascript\\\">\\n<!--\\ndocument.write(\\\"Dies ist ein Quelltext.\\\\n\\\\n\\\");\\n//-->\\n</script>\\n\\n\\n\");\n"
    "} // main()\n";

}  // namespace kiv

#endif  // KIV_TEXTS_MESSAGES_H_
