"""Everything zirreport writes into the report, in English and in German.

The texts of the run itself (remarks, messages of the log, the files'
identifications) are not here: the report shows them as the files give them.
"""

LANGUAGES = ("en", "de")

TEXTS = {
    "en": {
        "lang": "en",
        "heading": "Odor assessment",
        "s_what": "What was assessed",
        "s_sources": "Sources",
        "s_weather": "Weather",
        "s_grid": "Grid and numerics",
        "s_results": "Results",
        "s_warnings": "Warnings and verification",
        "s_limits": "Limits of the model",
        "title": "Title",
        "run": "Run started",
        "program": "Program",
        "build": "Build",
        "command_line": "Command line",
        "workdir": "Working directory",
        "made": "Report made",
        "files": "Input and result files",
        "file": "File",
        "content": "Content",
        "file_cmd": "command file (the run's input)",
        "file_log": "log of the run",
        "file_grid": "result grid",
        "file_points": "values at the receptor points",
        "file_receptors": "names and limits of the receptor points",
        "file_summary": "weather summary (zirmet)",
        "file_rose": "wind rose (zirmet)",
        "file_verification": "verification report (scripts/verify.sh)",
        "file_map": "map (zirmap)",
        "group": "Group %s",
        "group_factor": "weighting factor %s",
        "applicant": "the applicant's (additional load)",
        "ungrouped": "Sources without a group",
        "no": "No.",
        "kind": "Kind",
        "point_source": "point",
        "area_source": "area",
        "x": "x (m)",
        "y": "y (m)",
        "east": "Easting (m)",
        "north": "Northing (m)",
        "size": "Size (m)",
        "rotation": "Turned (°)",
        "height": "Height (m)",
        "extent": "Vertical extent (m)",
        "emission": "Emission (%s/s)",
        "from_log": "As listed in the log (*LISTE src).",
        "stacks": "Stacks, as the log lists them (*LISTE src)",
        "from_header": "As the result files list them.",
        "from_command": "As the command file gives them (the sources in force at its end).",
        "origin": "National coordinates: the model's origin (0, 0) at E %s, N %s%s.",
        "w_data": "Weather data",
        "w_period": "Period",
        "w_read": "Hours read",
        "w_skipped": "Hours skipped",
        "w_used": "Hours used",
        "w_calms": "Calms",
        "w_gaps": "Gaps in the time series",
        "w_calm_share": "Share of calms",
        "w_classes": "Shares of the stability classes",
        "w_ha": "Anemometer height",
        "w_situations": "Dispersion situations",
        "period": "%s to %s",
        "situations": "Dispersion situations of the command file",
        "remark": "Remark",
        "hours": "Hours",
        "total_hours": "Total",
        "in_loop": "repeated by *loop: see the log",
        "rose": "Wind rose: share of the hours per direction the wind comes from, by speed.",
        "extent_x": "Grid, west to east",
        "extent_y": "Grid, south to north",
        "spacing": "Mesh width",
        "nodes": "Nodes",
        "sw_national": "South-west node, national",
        "points_n": "Receptor points",
        "m_range": "%s m to %s m",
        "vgrid": "Vertical grid",
        "vgrid_dz": "%s intervals of %s m, up to %s m",
        "vgrid_zk": "%d heights given (zk), up to %s m",
        "vgrid_error": "Estimated error of the vertical grid",
        "vgrid_warnings": "Warnings of the vertical grid: %d (all under the warnings); the "
                          "largest difference:",
        "vgrid_none": "The log gives no estimate of the vertical grid's error (a program "
                      "without the estimate, or the estimate switched off).",
        "settings": "Settings the command file gives (all others at their defaults)",
        "section": "Section",
        "parameter": "Parameter",
        "value": "Value",
        "map_total": "Odor-hour frequency, total load",
        "map_frw": "Weighted odor-hour frequency",
        "map_za": "Odor-hour frequency, additional load (0.02: irrelevance threshold)",
        "map_from": "Map %s",
        "drawn": "drawn from %s",
        "points_table": "Odor-hour frequencies at the receptor points",
        "points_intro": "Values of %s rounded to two decimals. The %s is held against the "
                        "point's limit; the additional load is irrelevant where it is at most "
                        "0.02.",
        "judged_frw": "weighted total load (frw)",
        "judged_frh": "total load (frh)",
        "name": "Name",
        "col_frh": "Total",
        "col_group": "Group %s",
        "col_za": "Additional",
        "col_frw": "Weighted",
        "limit": "Limit",
        "verdict": "Verdict",
        "verdict_za": "Additional load",
        "within": "within the limit",
        "above": "above the limit",
        "no_limit": "no limit given",
        "irrelevant": "irrelevant (≤ 0.02)",
        "relevant": "relevant (> 0.02)",
        "run_warnings": "Warnings of the run",
        "no_warnings": "The run gave no warning.",
        "times": "(%d times)",
        "verification": "Verification of the program",
        "verification_failed": "The verification report shows failed checks or measures "
                               "outside their band.",
        "limits": [
            "The model computes the dispersion over flat terrain: hills, valleys and slopes, "
            "and the cold-air flows they cause at night, are not represented.",
            "The flow around buildings is not computed. A stack on a building is given its "
            "building class (the log lists it with *LISTE src) and a warning where it stands in "
            "or near the building's wake; such a source can be spread as a vertical line from "
            "the ground (qw 1), a conservative estimate near the building that knows nothing of "
            "its shape.",
            "Plume rise is added only for the sources that ask for it (qr 1: the guideline "
            "formula of 1985, qr 2: Briggs) and reach the least exit velocity; every other "
            "source releases its odor at its height, which gives higher values near it.",
            "The weather is that of the dispersion situations given, each uniform in space "
            "and steady for its hours; the results are as representative as they are.",
            "The frequencies are those of odor as a panel perceives it at the odor threshold; "
            "the limits and the weighting factors are the regulation's, and which apply is "
            "for the authority to say.",
        ],
        "note": "Note",
        "note_no_cmd": "The command file %s is not there: the situations and settings are "
                       "left out.",
        "note_no_frh": "No result grid of the odor-hour frequency (frh) in the working "
                       "directory: the maps are left out.",
        "note_several": "The working directory holds %d grids of the total odor-hour "
                        "frequency (%s): the command file makes several assessments, one after "
                        "another. Each is mapped; the points' table and the files of fixed "
                        "names (groups, additional load) hold the values of the last one.",
        "note_no_points": "No points' table (pnt.csv, written by *SPEICHERN pnt): the table at "
                          "the receptor points is left out.",
        "note_no_frh_points": "The points' table holds no odor-hour frequency (frh): the "
                              "table at the receptor points is left out.",
        "note_no_receptors": "No %s: the points have no names and no limits, so no verdict.",
        "note_no_summary": "No weather summary of zirmet (%s): period, hours and calms are "
                           "left out.",
        "note_no_rose": "No wind rose (%s): left out.",
        "note_no_sources": "Neither the result files, the log (*LISTE src) nor the command "
                           "file give the sources: the table of the sources is left out.",
        "note_sources_last": "The log lists the sources %d times; the table shows the last "
                             "listing, the sources in force when the run ended.",
        "note_no_verification": "No verification report (scripts/verify.sh writes "
                                "out/verify/report.md): its status is left out.",
        "note_map_missing": "The map of %s could not be drawn: %s",
    },
    "de": {
        "lang": "de",
        "heading": "Geruchsimmissionsprognose",
        "s_what": "Gegenstand der Beurteilung",
        "s_sources": "Quellen",
        "s_weather": "Meteorologie",
        "s_grid": "Rechengitter und Numerik",
        "s_results": "Ergebnisse",
        "s_warnings": "Warnungen und Verifikation",
        "s_limits": "Grenzen des Modells",
        "title": "Titel",
        "run": "Rechenlauf gestartet",
        "program": "Programm",
        "build": "Erstellt",
        "command_line": "Aufruf",
        "workdir": "Arbeitsverzeichnis",
        "made": "Bericht erstellt",
        "files": "Eingabe- und Ergebnisdateien",
        "file": "Datei",
        "content": "Inhalt",
        "file_cmd": "Steuerdatei (Eingabe des Rechenlaufs)",
        "file_log": "Protokoll des Rechenlaufs",
        "file_grid": "Ergebnisraster",
        "file_points": "Werte an den Aufpunkten",
        "file_receptors": "Namen und Immissionswerte der Aufpunkte",
        "file_summary": "Zusammenfassung der Wetterdaten (zirmet)",
        "file_rose": "Windrose (zirmet)",
        "file_verification": "Verifikationsbericht (scripts/verify.sh)",
        "file_map": "Karte (zirmap)",
        "group": "Gruppe %s",
        "group_factor": "Gewichtungsfaktor %s",
        "applicant": "des Antragstellers (Zusatzbelastung)",
        "ungrouped": "Quellen ohne Gruppe",
        "no": "Nr.",
        "kind": "Art",
        "point_source": "Punkt",
        "area_source": "Fläche",
        "x": "x (m)",
        "y": "y (m)",
        "east": "Ostwert (m)",
        "north": "Nordwert (m)",
        "size": "Größe (m)",
        "rotation": "Drehung (°)",
        "height": "Höhe (m)",
        "extent": "Vertikale Ausdehnung (m)",
        "emission": "Emission (%s/s)",
        "from_log": "Wie im Protokoll aufgelistet (*LISTE src).",
        "stacks": "Schornsteine, wie im Protokoll aufgelistet (*LISTE src)",
        "from_header": "Wie in den Ergebnisdateien aufgeführt.",
        "from_command": "Wie in der Steuerdatei angegeben (die an ihrem Ende gültigen Quellen).",
        "origin": "Landeskoordinaten: der Ursprung (0, 0) des Modells liegt bei O %s, "
                  "N %s%s.",
        "w_data": "Wetterdaten",
        "w_period": "Zeitraum",
        "w_read": "Gelesene Stunden",
        "w_skipped": "Übersprungene Stunden",
        "w_used": "Verwendete Stunden",
        "w_calms": "Calmen",
        "w_gaps": "Lücken der Zeitreihe",
        "w_calm_share": "Anteil der Calmen",
        "w_classes": "Anteile der Stabilitätsklassen",
        "w_ha": "Anemometerhöhe",
        "w_situations": "Ausbreitungssituationen",
        "period": "%s bis %s",
        "situations": "Ausbreitungssituationen der Steuerdatei",
        "remark": "Bemerkung",
        "hours": "Stunden",
        "total_hours": "Summe",
        "in_loop": "durch *loop wiederholt: siehe Protokoll",
        "rose": "Windrose: Anteil der Stunden je Herkunftsrichtung, nach Windgeschwindigkeit.",
        "extent_x": "Gitter, West nach Ost",
        "extent_y": "Gitter, Süd nach Nord",
        "spacing": "Maschenweite",
        "nodes": "Knoten",
        "sw_national": "Südwestlicher Knoten, Landeskoordinaten",
        "points_n": "Aufpunkte",
        "m_range": "%s m bis %s m",
        "vgrid": "Vertikales Gitter",
        "vgrid_dz": "%s Intervalle von %s m, bis %s m",
        "vgrid_zk": "%d Höhen vorgegeben (zk), bis %s m",
        "vgrid_error": "Geschätzter Fehler des vertikalen Gitters",
        "vgrid_warnings": "Warnungen zum vertikalen Gitter: %d (alle unter den Warnungen); "
                          "die größte Abweichung:",
        "vgrid_none": "Das Protokoll enthält keine Schätzung des Fehlers des vertikalen "
                      "Gitters (ein Programm ohne die Schätzung, oder sie ist abgeschaltet).",
        "settings": "Einstellungen der Steuerdatei (alle übrigen auf ihren Vorgabewerten)",
        "section": "Abschnitt",
        "parameter": "Parameter",
        "value": "Wert",
        "map_total": "Häufigkeit von Geruchsstunden, Gesamtbelastung",
        "map_frw": "Gewichtete Häufigkeit von Geruchsstunden",
        "map_za": "Häufigkeit von Geruchsstunden, Zusatzbelastung "
                  "(0,02: Irrelevanzkriterium)",
        "map_from": "Karte %s",
        "drawn": "gezeichnet aus %s",
        "points_table": "Häufigkeit von Geruchsstunden an den Aufpunkten",
        "points_intro": "Werte aus %s, auf zwei Nachkommastellen gerundet. Die %s wird mit dem "
                        "Immissionswert des Aufpunkts verglichen; die Zusatzbelastung ist "
                        "irrelevant, wo sie höchstens 0,02 beträgt.",
        "judged_frw": "gewichtete Gesamtbelastung (frw)",
        "judged_frh": "Gesamtbelastung (frh)",
        "name": "Name",
        "col_frh": "Gesamt",
        "col_group": "Gruppe %s",
        "col_za": "Zusatz",
        "col_frw": "Gewichtet",
        "limit": "Immissionswert",
        "verdict": "Beurteilung",
        "verdict_za": "Zusatzbelastung",
        "within": "eingehalten",
        "above": "überschritten",
        "no_limit": "kein Immissionswert angegeben",
        "irrelevant": "irrelevant (≤ 0,02)",
        "relevant": "relevant (> 0,02)",
        "run_warnings": "Warnungen des Rechenlaufs",
        "no_warnings": "Der Rechenlauf hat keine Warnung ausgegeben.",
        "times": "(%d-mal)",
        "verification": "Verifikation des Programms",
        "verification_failed": "Der Verifikationsbericht zeigt fehlgeschlagene Prüfungen "
                               "oder Maße außerhalb ihres Bandes.",
        "limits": [
            "Das Modell berechnet die Ausbreitung über ebenem Gelände: Hügel, Täler und Hänge "
            "und die nächtlichen Kaltluftabflüsse, die sie verursachen, sind nicht abgebildet.",
            "Die Umströmung von Gebäuden wird nicht berechnet. Ein Kamin auf einem Gebäude "
            "erhält seine Bebauungsklasse (das Protokoll listet sie mit *LISTE src) und eine "
            "Warnung, wo er in oder nahe der Rezirkulationszone des Gebäudes steht; eine solche "
            "Quelle kann als vertikale Linienquelle vom Boden an verteilt werden (qw 1), eine "
            "konservative Abschätzung nahe dem Gebäude, die von seiner Form nichts weiß.",
            "Abgasfahnenüberhöhung wird nur für die Quellen berechnet, die sie verlangen (qr 1: "
            "die Formel der Richtlinie von 1985, qr 2: Briggs) und die Mindestaustritts"
            "geschwindigkeit erreichen; jede andere Quelle gibt ihren Geruch in ihrer Höhe ab, "
            "was nahe bei ihr höhere Werte ergibt.",
            "Das Wetter ist das der angegebenen Ausbreitungssituationen, jede räumlich "
            "einheitlich und für ihre Stunden stationär; die Ergebnisse sind so repräsentativ "
            "wie sie.",
            "Die Häufigkeiten sind die des Geruchs, wie ihn ein Probandenkollektiv an der "
            "Geruchsschwelle wahrnimmt; Immissionswerte und Gewichtungsfaktoren sind die der "
            "Regelwerke, und welche gelten, entscheidet die Behörde.",
        ],
        "note": "Hinweis",
        "note_no_cmd": "Die Steuerdatei %s fehlt: Ausbreitungssituationen und Einstellungen "
                       "entfallen.",
        "note_no_frh": "Kein Ergebnisraster der Häufigkeit von Geruchsstunden (frh) im "
                       "Arbeitsverzeichnis: die Karten entfallen.",
        "note_several": "Das Arbeitsverzeichnis enthält %d Raster der Gesamthäufigkeit von "
                        "Geruchsstunden (%s): die Steuerdatei rechnet mehrere Beurteilungen "
                        "nacheinander. Jede wird als Karte gezeigt; die Tabelle der Aufpunkte "
                        "und die Dateien fester Namen (Gruppen, Zusatzbelastung) enthalten die "
                        "Werte der letzten.",
        "note_no_points": "Keine Tabelle der Aufpunkte (pnt.csv, geschrieben von *SPEICHERN "
                          "pnt): die Tabelle an den Aufpunkten entfällt.",
        "note_no_frh_points": "Die Tabelle der Aufpunkte enthält keine Häufigkeit von "
                              "Geruchsstunden (frh): die Tabelle an den Aufpunkten entfällt.",
        "note_no_receptors": "Keine %s: die Aufpunkte haben keine Namen und keine "
                             "Immissionswerte, daher keine Beurteilung.",
        "note_no_summary": "Keine Zusammenfassung der Wetterdaten von zirmet (%s): Zeitraum, "
                           "Stunden und Calmen entfallen.",
        "note_no_rose": "Keine Windrose (%s): entfällt.",
        "note_no_sources": "Weder die Ergebnisdateien noch das Protokoll (*LISTE src) noch die "
                           "Steuerdatei geben die Quellen an: die Tabelle der Quellen entfällt.",
        "note_sources_last": "Das Protokoll listet die Quellen %d-mal; die Tabelle zeigt die "
                             "letzte Liste, die am Ende des Laufs gültigen Quellen.",
        "note_no_verification": "Kein Verifikationsbericht (scripts/verify.sh schreibt "
                                "out/verify/report.md): sein Status entfällt.",
        "note_map_missing": "Die Karte von %s konnte nicht gezeichnet werden: %s",
    },
}
