"""The outcome of one verification check and its one-line summary."""

from dataclasses import dataclass


@dataclass
class Check:
    """One claim about the model, its closed form and how close it came.

    value and tolerance are in the same measure (for example the largest
    deviation relative to the profile maximum); passed is value <= tolerance.
    """
    group: str
    name: str
    closed_form: str
    value: float
    tolerance: float
    detail: str = ""

    @property
    def passed(self):
        # A NaN deviation is a failure, not a pass.
        return self.value <= self.tolerance

    def lines(self):
        """The result with value and tolerance, then the closed form and
        what the value measures."""
        text = "%-6s %-58s value %.3e  tolerance %.3e\n       closed form: %s" % (
            "passed" if self.passed else "FAILED", self.name, self.value, self.tolerance,
            self.closed_form)
        return text + ("\n       " + self.detail if self.detail else "")
