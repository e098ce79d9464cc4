"""Everything zirmap writes into a map, in English and in German.

The texts of the result file itself (its identification, its title) are not
here: a map shows them as the file gives them.
"""

LANGUAGES = ("en", "de")

TEXTS = {
    "en": {
        "title": {
            "cnc": "Mean odorant concentration",
            "fro": "Odor frequency",
            "frh": "Odor-hour frequency",
            "r90": "Ratio of the 90th percentile to the mean concentration",
        },
        "quantity": {
            "cnc": "Concentration (%s/m³)",
            "fro": "Fraction of the time with odor",
            "frh": "Fraction of the hours that are odor hours",
            "r90": "90th percentile / mean",
        },
        "percent": {
            "fro": "Share of the time with odor (%)",
            "frh": "Share of the hours that are odor hours (%)",
        },
        "thresholds": ("limit for residential and mixed areas",
                       "limit for commercial, industrial and village areas"),
        "za_threshold": ("outside it the additional load is irrelevant",),
        "x": "x (m), east",
        "y": "y (m), north",
        "easting": "Easting (m)",
        "northing": "Northing (m)",
        "source": "Source",
        "area": "Source area",
        "points": "Receptor points",
        "maximum": "Maximum %s at x = %.10g m, y = %.10g m",
        "maximum_outside": "Maximum outside the source areas %s at x = %.10g m, y = %.10g m",
        "zero": "All values 0",
        "edge": "the %s line leaves the grid: enlarge it",
        "no_basemap": "the base map %s does not cover the grid",
        "odor_unit": "OU",
    },
    "de": {
        "title": {
            "cnc": "Mittlere Geruchsstoffkonzentration",
            "fro": "Geruchshäufigkeit",
            "frh": "Häufigkeit von Geruchsstunden",
            "r90": "Verhältnis des 90-Perzentils zur mittleren Konzentration",
        },
        "quantity": {
            "cnc": "Konzentration (%s/m³)",
            "fro": "Anteil der Zeit mit Geruch",
            "frh": "Anteil der Stunden, die Geruchsstunden sind",
            "r90": "90-Perzentil / Mittelwert",
        },
        "percent": {
            "fro": "Anteil der Zeit mit Geruch (%)",
            "frh": "Anteil der Stunden, die Geruchsstunden sind (%)",
        },
        "thresholds": ("Immissionswert für Wohn- und Mischgebiete",
                       "Immissionswert für Gewerbe-, Industrie- und Dorfgebiete"),
        "za_threshold": ("außerhalb irrelevante Zusatzbelastung",),
        "x": "x (m), Osten",
        "y": "y (m), Norden",
        "easting": "Ostwert (m)",
        "northing": "Nordwert (m)",
        "source": "Quelle",
        "area": "Quellfläche",
        "points": "Aufpunkte",
        "maximum": "Maximum %s bei x = %.10g m, y = %.10g m",
        "maximum_outside": "Maximum außerhalb der Quellflächen %s bei x = %.10g m, y = %.10g m",
        "zero": "Alle Werte 0",
        "edge": "die %s-Linie verlässt das Gitter: vergrößern Sie es",
        "no_basemap": "die Grundkarte %s deckt das Gitter nicht ab",
        "odor_unit": "GE",
    },
}
