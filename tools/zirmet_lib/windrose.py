"""Wind rose (PNG with matplotlib): the share of the hours used per sector,
stacked by speed class, north up and the directions clockwise, as the wind
comes from them.
"""

import math

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def draw(fh, table, sectors, labels, title):
    """Writes the rose of table[sector][speed class] (h) as PNG to fh."""
    total = sum(map(sum, table))
    theta = [math.radians(sectors.centre(s)) for s in range(sectors.nw)]
    fig = plt.figure(figsize=(7.5, 6.5), dpi=110)
    try:
        ax = fig.add_subplot(projection="polar")
        ax.set_theta_zero_location("N")
        ax.set_theta_direction(-1)
        colours = plt.get_cmap("viridis_r")
        bottom = [0.0] * sectors.nw
        for k, label in enumerate(labels):
            share = [100.0 * row[k] / total for row in table]
            if not any(share):
                continue
            ax.bar(theta, share, width=math.radians(sectors.width) * 0.92, bottom=bottom,
                   color=colours(k / max(len(labels) - 1, 1)), edgecolor="white",
                   linewidth=0.3, label=label)
            bottom = [b + v for b, v in zip(bottom, share)]
        ax.set_xticks([math.radians(d) for d in range(0, 360, 45)])
        ax.set_xticklabels(["N", "NE", "E", "SE", "S", "SW", "W", "NW"])
        ax.yaxis.set_major_formatter(lambda v, _pos: "%g %%" % v)
        ax.tick_params(axis="y", labelsize=7)
        ax.legend(title="Wind speed (m/s)", loc="upper left", bbox_to_anchor=(1.08, 1.0),
                  fontsize=8, title_fontsize=8)
        ax.set_title(title, fontsize=10, pad=18)
        fig.savefig(fh, format="png", bbox_inches="tight", pad_inches=0.15)
    finally:
        plt.close(fig)
