"""Companion library of zirmet: weather data in, dispersion situations out."""
