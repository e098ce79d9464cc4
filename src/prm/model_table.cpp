// The model's parameters: the program-wide typed objects of prm/params.h and
// the static table that describes them (names, formats, defaults, element
// counts, descriptions) in table order, sections *d *a *g *l *p *q *s *_.
#include <cstddef>

#include "prm/params.h"
#include "prm/prm.h"

namespace prm {

float dz;
int32_t ll;
int32_t mc;
char* me;
int32_t mi;
int32_t mp;
int32_t nc;
int32_t nl;
int32_t nm;
int32_t nq;
int32_t nw;
int32_t nz;
char* op;
char* ti;
int32_t vc;
double xf;
double yf;
int32_t ep;
float zp;

int32_t np;
PrmVec xp;
PrmVec yp;

float dr;
int32_t nx;
int32_t ny;
float xr;
float yr;

int32_t nd;

float ad;
float al;
float am;
PrmVec dw;
float ga;
float gs;
float ha;
float hm;
float kw;
float ld;
float lm;
float mf;
int32_t mx;
int32_t mz;
int32_t nu;
float pd;
float re;
float sv;
float sw;
float tm;
float ua;
float us;
float vd;
float z0;
PrmVec zk;

float aq;
float bb;
float bd;
float bh;
float bm;
float bn;
float bo;
float bq;
float br;
float bu;
float cq;
float dq;
float eq;
float fg;
float hb;
float hq;
float li;
float lq;
int32_t ni;
int32_t qr;
int32_t qw;
float rq;
char* sg;
float tq;
float vq;
float wv;
float xq;
float yq;
int32_t za;

float fa;
char* fi;
char* fo;
char* id;
char* mo;
char* se;

PrmVec ca;
PrmVec cg;
PrmVec ci;
PrmVec cl;
PrmVec cp;
PrmVec cx;
PrmVec em;
float ex;
float fv;
PrmVec hl;
float kk;
PrmVec kz;
float lv;
PrmVec od;
float pl;
float pn;
float ps;
PrmVec sd;
PrmVec sy;
float tw;
PrmVec ux;
float vv;
PrmVec ww;
PrmVec wm;

}  // namespace prm

namespace {

// The record builders run at compile time only, so a malformed row (a name
// that is not two characters, a string default longer than its buffer)
// stops the build instead of surfacing at run time.
consteval std::size_t Len(const char* s) {
  std::size_t n = 0;
  while (s[n]) n++;
  return n;
}

consteval void CheckName(const char* name) {
  if (Len(name) != 2) throw "parameter and section names have two characters";
}

consteval PrmRecord Sec(const char* name, const char* label, const char* desc) {
  CheckName(name);
  if (name[0] != '*') throw "section names begin with '*'";
  return {name, "%s", " \"%s\"", label, "0", 255, PrmTypeString, nullptr, desc};
}

consteval PrmRecord Int(const char* name, const char* deflt, int32_t* v, const char* desc) {
  CheckName(name);
  return {name, "%d", " %10d", deflt, "0", 4, PrmTypeInt, v, desc};
}

consteval PrmRecord Flt(const char* name, const char* out, const char* deflt, float* v,
                        const char* desc) {
  CheckName(name);
  return {name, "%f", out, deflt, "0", 4, PrmTypeFloat, v, desc};
}

consteval PrmRecord Dbl(const char* name, const char* deflt, double* v, const char* desc) {
  CheckName(name);
  return {name, "%lf", " %10.3lf", deflt, "0", 8, PrmTypeDouble, v, desc};
}

consteval PrmRecord Str(const char* name, const char* deflt, int32_t size, char** v,
                        const char* desc) {
  CheckName(name);
  if (Len(deflt) > static_cast<std::size_t>(size)) throw "string default longer than its buffer";
  return {name, "%s", " \"%s\"", deflt, "0", size, PrmTypeString, v, desc};
}

consteval PrmRecord Vec(const char* name, const char* out, const char* deflt, const char* dims,
                        PrmVec* v, const char* desc) {
  CheckName(name);
  return {name, "%f", out, deflt, dims, 4, PrmTypeFloat | PrmVector, v, desc};
}

}  // namespace

using namespace prm;

PrmRecord PrmTable[] = {
    Sec("*d", "DIMS", "Dimensionierung von Feldern und Rechengebiet"),
    Flt("dz", " %10.1f", "5", &dz, "Intervallgröße im BLM-Profil (m)"),
    Int("ll", "-10", &ll, "Unterer Indexwert für Verteilungsfunktion"),
    Int("mc", "4000", &mc, "Größe des Eingabepuffers"),
    Str("me", "GE", 15, &me, "Mengen-Einheit"),
    Int("mi", "200", &mi, "Maximale Intervallzahl der Fahnenfunktionen"),
    Int("mp", "0", &mp, "Maximale Anzahl der Aufpunkte"),
    Int("nc", "5", &nc, "Anzahl der Intervalle pro Dekade"),
    Int("nl", "20", &nl, "Anzahl der Intervalle für Verteilungsfunktion"),
    Int("nm", "9", &nm, "Anzahl der Kernfahnen für die halbe Fahne"),
    Int("nq", "1", &nq, "Anzahl der Quellen (wird nicht benutzt)"),
    Int("nw", "36", &nw, "Anzahl der Windrichtungen"),
    Int("nz", "200", &nz, "Anzahl der Intervalle im BLM-Profil"),
    Str("op", "", 255, &op, "Optionen"),
    Str("ti", "TEST", 255, &ti, "Titel"),
    Int("vc", "1", &vc, "Fehler des Vertikalrasters schätzen (1: ja, 0: nein)"),
    Dbl("xf", "0", &xf, "X-Koordinate des Referenzpunktes"),
    Dbl("yf", "0", &yf, "Y-Koordinate des Referenzpunktes"),
    Int("ep", "0", &ep, "EPSG-Code des Koordinatensystems (0: keiner)"),
    Flt("zp", " %10.1f", "1.5", &zp, "Z-Koordinate der Aufpunkte (m)"),

    Sec("*a", "PNT", "Definition der Aufpunkte"),
    Int("np", "0", &np, "Anzahl der Aufpunkte"),
    Vec("xp", " %10.1f", "0", "mp", &xp, "X-Koordinate eines Aufpunktes"),
    Vec("yp", " %10.1f", "0", "mp", &yp, "Y-Koordinate eines Aufpunktes"),

    Sec("*g", "GRD", "Gitter von Aufpunkten"),
    Flt("dr", " %10.1f", "10", &dr, "Maschenweite (m)"),
    Int("nx", "0", &nx, "Anzahl der Punkte in X-Richtung"),
    Int("ny", "0", &ny, "Anzahl der Punkte in Y-Richtung"),
    Flt("xr", " %10.1f", "0", &xr, "X-Koordinate des westlichen Randes (m)"),
    Flt("yr", " %10.1f", "0", &yr, "Y-Koordinate des südlichen Randes (m)"),

    Sec("*l", "LST", "[plm|prf|pnt] Profile auflisten"),
    Int("nd", "0", &nd, "Anzahl der auszulassenden Punkte"),

    Sec("*p", "PRM", "[run] Parameter der Ausbreitungsrechnung"),
    Flt("ad", " %10.4f", "0", &ad, "Depositions-Koeffizient"),
    Flt("al", " %10.1f", "0", &al, "Faktor Alpha im Differenzenverfahren (=0: implizit)"),
    Flt("am", " %10.0f", "50", &am, "Begrenzung des Argumentes der exp-Funktion"),
    Vec("dw", " %10.0f", "1", "nw", &dw, "Dauer der Windrichtung (h)"),
    Flt("ga", " %10.2f", "0.1", &ga, "Kritischer Zeitanteil mit Geruch (:Geruchsstunde)"),
    Flt("gs", " %10.2f", "1", &gs, "Feld-Geruchsschwelle (GE/m3)"),
    Flt("ha", " %10.1f", "10", &ha, "Höhe des Anemometers über Grund (m)"),
    Flt("hm", " %10.1f", "0", &hm, "Höhe der Mischungsschicht (m)"),
    Flt("kw", " %10.2f", "2.5", &kw, "Weber-Fechner-Koeffizient"),
    Flt("ld", " %10.2f", "0.5", &ld, "Auflösungsvermögen Lambda"),
    Flt("lm", " %10.1f", "0", &lm, "Monin-Obukhov-Länge (m)"),
    Flt("mf", " %10.2f", "-1", &mf, "Mäander-Parameter (sym/syd)"),
    Int("mx", "0", &mx, "Schrittweite in x beim Ausschreiben des Konz.-Profils"),
    Int("mz", "1", &mz, "Ausgabe-Schrittweite für das BLM-Profil"),
    Int("nu", "5", &nu, "Anzahl der Unter-Sektoren"),
    Flt("pd", " %10.1f", "2.0", &pd, "Parameter Nu der Weibull-Verteilung"),
    Flt("re", " %10.0f", "10", &re, "Richtung des ersten Sektors (Grad gegen Nord im Uhrzeiger)"),
    Flt("sv", " %10.3f", "0", &sv, "Sigma-V (m/s)"),
    Flt("sw", " %10.3f", "0", &sw, "Sigma-W (m/s)"),
    Flt("tm", " %10.0f", "3600", &prm::tm, "Mittelungszeit für die Fahne (s)"),
    Flt("ua", " %10.2f", "3", &ua, "Windgeschwindigkeit in Anemometerhöhe (m/s)"),
    Flt("us", " %10.3f", "0", &us, "Schubspannungs-Geschwindigkeit (m/s)"),
    Flt("vd", " %10.4f", "0", &vd, "Depositions-Geschwindigkeit (m/s)"),
    Flt("z0", " %10.4f", "0.5", &z0, "Rauhigkeitslänge (m)"),
    Vec("zk", " %10.1f", "0", "nz+1", &zk, "Vertikales Raster des BLM-Profils (m)"),

    Sec("*q", "SRC", "Quelle: Lage, Überhöhung und Quellstärke"),
    Flt("aq", " %10.1f", "0", &aq, "Horizontale Ausdehnung der Quelle (m)"),
    Flt("bb", " %10.1f", "0", &bb, "Gebäudebreite quer zum First (m)"),
    Flt("bd", " %10.1f", "3", &bd, "Mindesthöhe des Schornsteins über dem First (m)"),
    Flt("bh", " %10.1f", "10", &bh, "Mindesthöhe des Schornsteins über Grund (m)"),
    Flt("bm", " %10.1f", "20", &bm, "Kleinste angerechnete Dachneigung (Grad)"),
    Flt("bn", " %10.1f", "0", &bn, "Dachneigung des Gebäudes (Grad)"),
    Flt("bo", " %10.2f", "1.7", &bo, "Schornstein/Gebäude: darüber frei von Gebäuden"),
    Flt("bq", " %10.1f", "0", &bq, "Horizontale Ausdehnung der Quelle (m)"),
    Flt("br", " %10.1f", "6", &br, "Umkreis der Gebäude (Schornsteinhöhen)"),
    Flt("bu", " %10.2f", "1.2", &bu, "Schornstein/Gebäude: darunter im Nachlauf"),
    Flt("cq", " %10.1f", "0", &cq, "Vertikale Ausdehnung der Quelle (m)"),
    Flt("dq", " %10.2f", "0", &dq, "Innendurchmesser des Schornsteins (m)"),
    Flt("eq", " %10.1f", "1", &eq, "Quellstärke (GE/s)"),
    Flt("fg", " %10.2f", "1", &fg, "Gewichtungsfaktor der Quellgruppe"),
    Flt("hb", " %10.1f", "0", &hb, "Firsthöhe des Gebäudes an der Quelle (m)"),
    Flt("hq", " %10.1f", "10", &hq, "Höhe der Quelle/Unterkante (m)"),
    Flt("li", " %10.1f", "10", &li, "Intervall-Länge für Fahnenfunktionen (m)"),
    Flt("lq", " %10.1f", "1", &lq, "Maximale Rasterweite einer Flächenquelle (m)"),
    Int("ni", "0", &ni, "Anzahl der Intervalle bei Fahnenfunktionen"),
    Int("qr", "0", &qr, "Abgasfahnenüberhöhung (0 keine, 1 Richtlinie 1985, 2 Briggs)"),
    Int("qw", "0", &qw, "Ersatzquelle im Gebäudenachlauf (0 keine, 1 vertikale Linie)"),
    Flt("rq", " %10.1f", "0", &rq, "Winkel von aq gegen Ost (Grad gegen den Uhrzeiger)"),
    Str("sg", "", 31, &sg, "Quellgruppe (Buchstaben, Ziffern, _)"),
    Flt("tq", " %10.1f", "10", &tq, "Austrittstemperatur (°C)"),
    Flt("vq", " %10.2f", "0", &vq, "Austrittsgeschwindigkeit (m/s)"),
    Flt("wv", " %10.2f", "7", &wv, "Mindest-Austrittsgeschwindigkeit für Überhöhung (m/s)"),
    Flt("xq", " %10.0f", "0", &xq, "X-Koordinate der Quelle/Eckpunkt (m)"),
    Flt("yq", " %10.0f", "0", &yq, "Y-Koordinate der Quelle/Eckpunkt (m)"),
    Int("za", "0", &za, "Gruppe des Antragstellers: Zusatzbelastung (0|1)"),

    Sec("*s", "", "[cnc|fro|frh] Ergebnisse aussschreiben"),
    Flt("fa", " %10.1e", "1.0", &fa, "Skalierungsfaktor"),
    Str("fi", "", 255, &fi, "File-Name"),
    Str("fo", "%12.4e", 255, &fo, "Darstellungsformat"),
    Str("id", "TEST", 255, &id, "Identifikation"),
    Str("mo", "text", 255, &mo, "Darstellungsart (text|binary)"),
    Str("se", "", 255, &se, "Indexfolge"),

    Sec("*_", "INTR", "Interne Parameter"),
    Vec("ca", " %10.3e", "0", "mi+1", &ca, "Array(ni+1): Konzentration auf der Fahnenachse"),
    Vec("cg", " %10.3e", "0", "mi+1", &cg, "Array(ni+1): Konzentration bei z=0"),
    Vec("ci", " %10.4f", "0", "mi+1", &ci, "Array(ni+1): Fluß-Integral"),
    Vec("cl", " %10.4f", "0", "nl+1", &cl, "Logarithmisches Konzentrationsraster"),
    Vec("cp", " %10.3e", "0", "mi+1", &cp, "Array(ni+1): Konzentration bei z=zp"),
    Vec("cx", " %10.2f", "0", "mi+1", &cx, "Array(ni+1): Horizontales Raster"),
    Vec("em", " %10.3f", "0", "nm+1", &em, "Eta-Koordinaten für Mäandern"),
    Flt("ex", " %10.3f", "4", &ex, "EtaMax beim Mäandern"),
    Flt("fv", " %10.2f", "0.17", &fv, "Skalierungsfaktor für Lv"),
    Vec("hl", " %10.5f", "0", "nl+1", &hl, "Verteilungsfunktion der Konzentrationswerte"),
    Flt("kk", " %10.2f", "0.4", &kk, "von Karman Konstante"),
    Vec("kz", " %10.2f", "0", "nz+1", &kz, "Vertikaler Diffusionskoeffizient (m2/s)"),
    Flt("lv", " %10.1f", "0", &lv, "Skalierungslänge für Sigma-Y (m)"),
    Vec("od", " %10.5f", "0", "nl+1", &od, "Dichte der Wahrnehmungsfunktion"),
    Flt("pl", " %10.2f", "15.0", &pl, "Profilfaktor labile Schichtung"),
    Flt("pn", " %10.2f", "1.0", &pn, "Profilfaktor neutrale Schichtung"),
    Flt("ps", " %10.2f", "4.7", &ps, "Profilfaktor stabile Schichtung"),
    Vec("sd", " %10.2f", "0", "mi+1", &sd, "Array(ni+1): Breite der Kernfahne (m)"),
    Vec("sy", " %10.2f", "0", "mi+1", &sy, "Array(ni+1): Breite der Gesamtfahne (m)"),
    Flt("tw", " %10.2f", "-1", &tw, "Vertikale Lagrange-Korrelationszeit (s)"),
    Vec("ux", " %10.2f", "0", "nz+1", &ux, "Windgeschwindigkeit (m/s)"),
    Flt("vv", " %10.2f", "0", &vv, "Horizontale Windfluktuatione Sigma-V (m/s)"),
    Vec("ww", " %10.2f", "0", "nz+1", &ww, "Vertikale Windfluktuation Sigma-W (m/s)"),
    Vec("wm", " %10.5f", "0", "nm+1", &wm, "Gewichte der Kernfahnen beim Mäandern"),

    {"**", nullptr, nullptr, "", "0", 0, 0, nullptr, ""},
};
