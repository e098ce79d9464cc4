// Help output of option -h: call syntax, files, options, the commands of the
// command file and the parameter overview, in German.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/driver.h"
#include "msg/msg.h"
#include "par/par.h"
#include "prm/prm.h"

namespace {

constexpr const char* kText1 =
    "\n"
    "Aufruf: ZIRidev Arbeitsverzeichnis [Optionen]\n"
    "\n"
    "Im Arbeitsverzeichnis stehen der Eingabe- und die Ausgabe-Files.\n"
    "Ihre Namen sind:\n"
    "  odrcmd.txt    Eingabe-File,\n"
    "  odrlog.txt    Log-File zur Protokollierung des Ablaufs,\n"
    "  cnc.dmna      Rasterwerte der bodennahen Konzentration,\n"
    "  fro.dmna      Kumulative Häufigkeit von Gerüchen,\n"
    "  frh.dmna      Häufigkeit der Belästigungsstunden,\n"
    "  r90.dmna      Verhältnis 90-Perzentil zu Mittelwert,\n"
    "  frw.dmna      Gewichtete Häufigkeit der Belästigungsstunden,\n"
    "  cnc-G.dmna    die Werte der Quellgruppe G allein (sg), ebenso fro-G,\n"
    "                frh-G und r90-G,\n"
    "  cnc-za.dmna   die Werte der Gruppen des Antragstellers (za 1), die\n"
    "                Zusatzbelastung, ebenso fro-za, frh-za und r90-za,\n"
    "  pnt.csv       Werte an den Aufpunkten als Tabelle.\n"
    "\n"
    "Optionen (ein Wert steht direkt hinter dem Buchstaben, z.B. -t2):\n"
    "  -e      Eingabezeilen im Log-File und am Schirm ausgeben (echo, mit -v)\n"
    "  -h      Diese Hilfe ausgeben (help)\n"
    "  -iName  Eingabe-File (Standard odrcmd.txt; .txt wird ergänzt; CON: stdin)\n"
    "  -lName  Log-File (Standard odrlog.txt; -l allein: stderr; -l-: keines)\n"
    "  -q      Bildschirmausgabe unterdrücken (quiet; -q2 auch Start und Ende)\n"
    "  -tN     Anzahl der Threads (Standard: alle Prozessoren des Rechners)\n"
    "  -v      Zusätzliche Informationen ausgeben (verbose; -v2 noch mehr)\n"
    "\n";

constexpr const char* kText2 =
    "Auflistung der Kommandos (nur die ersten zwei Zeichen sind signifikant):\n"
    "\n"
    "*DIMENSIONIERUNG (muß als erstes angegeben werden):\n"
    "   Festlegung von Dimensionsgrenzen einiger interner Tabellen.\n"
    "\n"
    "*AUFPUNKTE :\n"
    "   Festlegung der Aufpunktkoordinaten.\n"
    "\n"
    "*CLEAR :\n"
    "   Die für ien Aufpunkt-Raster oder eine Aufpunkt-Liste berechneten\n"
    "   Werte werden gelöscht.\n"
    "\n"
    "*GITTER (darf nur einmal angegeben werden):\n"
    "   Festlegung eines Rasters von Aufpunkten, an denen bodennahe Konzen-\n"
    "   tration, Häufigkeit der Belästigungsstunden und Kumulative Häufigkeit\n"
    "   von Gerüchen berechnet werden sollen.\n"
    "\n";

constexpr const char* kText3 =
    "*LISTE plm|pnt|prf|src :\n"
    "   Bei \"plm\":\n"
    "   Tabellierung der Fahnenfunktionen im Log-File.\n"
    "   Es bedeuten: Cy = Normierte Konzentration über y integriert,\n"
    "                Sy = Horizontale Breite der Gesamt-Fahne,\n"
    "                Sd = Horizontale Breite der Kern-Fahne,\n"
    "                Cm = Konzentration am Boden unter der Fahnenachse.\n"
    "   Die normierte Konzentration ist auf eine Quellstärke 1 GE/s bezogen.\n"
    "\n"
    "   Bei \"pnt\":\n"
    "   Auflistung der an den Aufpunkten berechneten Werte im Log-File.\n"
    "   Es bedeuten:  Cm  = Konzentrationswert,\n"
    "                 Fro = Relative Häufigkeit der GS-Überschreitung,\n"
    "                 Frh = Relative Häufigkeit von Geruchsstunden.\n"
    "\n"
    "   Bei \"prf\":\n"
    "   Auflistung des BLM-Profils im Log-File:\n"
    "   Es bedeuten:  Z  = Höhe über dem Erdboden,\n"
    "                 Ux = Windgeschwindigkeit,\n"
    "                 Kz = vertikaler Austauschkoeffizient,\n"
    "                 Sw = vertikale Windgeschwindigkeitsfluktuation.\n"
    "\n"
    "   Bei \"src\":\n"
    "   Auflistung der Quellen im Log-File (Nummer, Lage, Ausdehnung, Höhe,\n"
    "   Quellstärke und Zahl der Zellen), bei Quellgruppen (sg) auch die\n"
    "   Gruppen mit Faktor fg, Kennung za und ihren Quellen.\n"
    "\n"
    "*PARAMETER [run]:\n"
    "   Festlegung verschiedener Parameter (z.B. Meteorologie, Ausbreitungs-\n"
    "   parameter, Schrittweiten) für die Ausbreitungsrechnung.\n"
    "   Falls das Argument \"run\" angegeben ist, zusätzlich:\n"
    "   Berechnung der Fahnenfunktionen.\n"
    "   Wenn ein Raster definiert ist, werden Rasterwerte berechnet und zu den\n"
    "   im Rasterfeld bereits gespeicherten Werte addiert (gemäß der Dauer der\n"
    "   aktuellen Ausbreitungssituation gewichtet). Entsprechendes gilt für die\n"
    "   Aufpunkte.\n"
    "\n"
    "*QUELLE [add]:\n"
    "   Festlegung von Lage und Ausdehnung der Quelle, der Quellstärke\n"
    "   und der Überhöhung. Ohne \"add\" beginnt die Liste der Quellen neu,\n"
    "   mit \"add\" wird eine weitere Quelle angefügt; die Konzentrationen\n"
    "   aller Quellen werden addiert.\n"
    "\n"
    "*SPEICHERN cnc|fro|frh|r90|frw|pnt:\n"
    "   Ausgabe des betreffenden Rasterfeldes.\n"
    "   Die Rasterwerte sind Mittelwerte über alle zuvor definierten Ausbrei-\n"
    "   tungssituationen.\n"
    "   Haben die Quellen Gruppen (sg), folgen jedem Feld die Felder jeder\n"
    "   Gruppe und der Gruppen des Antragstellers (za).\n"
    "   Bei \"frw\": die nach den Gewichtungsfaktoren fg der Gruppen gewichtete\n"
    "   Häufigkeit der Belästigungsstunden.\n"
    "   Bei \"pnt\": die Werte an den Aufpunkten in pnt.csv.\n"
    "\n"
    "*TABELLE *d|*a|*g|*l|*p|*q|*s :\n"
    "   Ausgabe der aktuellen Parameterwerte. Dabei können durch Angabe von\n"
    "   Kennbuchstaben bestimmte Abschnitte ausgewählt werden.\n"
    "\n"
    "*ENDE (muß als letztes angegeben werden):\n"
    "   Beenden des Programms.\n"
    "\n";

constexpr const char* kText4 =
    "\n"
    "Parameter dürfen nur in den zugehörigen Abschnitten gesetzt werden.\n"
    "In der folgenden Tabelle sind alle Parameter mit Namen (zwei Buchstaben,\n"
    "Groß-/Kleinschreibung ist nicht signifikant), Standardwert, Vielfachheit\n"
    "(bei Vektoren, z.B. Winddauer für die einzelnen Sektoren) und ihrer\n"
    "Bedeutung aufgelistet: \n"
    "\n";

}  // namespace

void PrintUsage(std::FILE* f) {
  std::fprintf(f, "%s", kText1);
  std::fprintf(f, "%s", kText2);
  std::fprintf(f, "%s", kText3);
}

void PrintHelp() {
  MsgLog = stdout;
  // The table is printed onto a stream; for a UTF-8 terminal the whole help
  // goes through a temporary file first (without one it stays Windows-1252).
  std::FILE* staged = MsgScreenUtf8 ? std::tmpfile() : nullptr;
  std::FILE* f = staged ? staged : stdout;
  std::fprintf(f, "Geruchsausbreitungsmodell VALKO, %s Version %s (%s %s)\n", ModName, ModVersion,
               BuildDate, BuildTime);
  PrintUsage(f);
  std::fprintf(f, "%s", kText4);
  PrmPrint(f, "*d*a*g*l*p*q*s");
  if (staged) {
    std::string text;
    std::rewind(staged);
    for (int c; (c = std::getc(staged)) != EOF;) text += static_cast<char>(c);
    std::fclose(staged);
    MsgScreenPut(text.c_str(), stdout);
  }
  ParExit(0);
}
