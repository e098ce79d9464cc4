"""Verification of the odor dispersion model: analytic limits and field data."""
