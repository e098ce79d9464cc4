"""Companion library of zirmap: reads ".dmna" result files and draws maps."""
