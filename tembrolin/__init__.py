"""Supervised binning for credit scorecards, built on the native core ``_tembrolin``."""
