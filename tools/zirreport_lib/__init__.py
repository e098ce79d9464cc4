"""Companion library of zirreport: the assessment report of a finished run."""
