#!/usr/bin/env python3
"""Builds the zone, rule and place tables of data/ as text.

Inputs:
  - the IANA time-zone database as installed under /usr/share/zoneinfo
    (zone.tab, iso3166.tab, tzdata.zi and the compiled zone files, whose last
    line is the POSIX TZ string of the zone's current rule);
  - the GeoNames "cities500" table (tab-separated, one populated place a line).

Outputs (in --out): tz_data.txt, tz_dst.txt, moreplaces.txt, and a report of
the checks (zones_report.md) that data/README.md quotes.

The zone model of the program is small: one standard offset per zone and at
most one pair of yearly rules, each a day of the year and a time of day (UTC,
or the clock time in force before the change).
Every zone's current POSIX rule is turned into that model, then the result is
checked hour by hour against the system's zone database for two years. Any
broken invariant (a place that would link to a foreign zone, two places on top
of each other, a missing rule pair, too low an agreement) stops the run.

Standard library only; the output depends only on the inputs.
"""

from __future__ import annotations

import argparse
import calendar
import datetime as dt
import math
import re
import sys
import unicodedata
from dataclasses import dataclass, field
from pathlib import Path
from zoneinfo import ZoneInfo

# Years over which the data is checked against the system's zone database:
# the two after the release's own, whose rules the tables hold. The release's
# own year may still hold its changes of rules (2026: British Columbia, Alberta
# and Manitoba to lasting daylight time, Morocco to lasting +00), which no
# single yearly pair can.
CHECK_YEARS = (2027, 2028)
# The run fails when fewer zone-hours than this agree (in per cent).
MIN_AGREEMENT = 99.9
# How many places moreplaces.txt holds (at least; zone cities and capitals
# always go in).
PLACE_TARGET = 5000
MIN_PLACES = 3000
# Two places closer than this in latitude and in longitude are not both kept.
MIN_PLACE_SEPARATION = 0.001
# Towns of at least this many people all go in; smaller ones only where no
# kept place lies within SPREAD_RADIUS degrees.
BIG_CITY = 1_000_000
SPREAD_RADIUS = 0.3
# A zone whose Location names no gazetteer town near its point is named after
# the largest of the capitals within ZONE_TOWN_RADIUS of the point and the
# towns within ZONE_TOWN_NEAR (degrees).
ZONE_TOWN_RADIUS = 0.2
ZONE_TOWN_NEAR = 0.05

# Common English names where iso3166.tab uses a bracketed or clipped form.
COUNTRY_NAMES = {
    "AS": "American Samoa",
    "BL": "Saint Barthélemy",
    "BQ": "Caribbean Netherlands",
    "CC": "Cocos Islands",
    "CD": "DR Congo",
    "CF": "Central African Republic",
    "CG": "Republic of the Congo",
    "GB": "United Kingdom",
    "KP": "North Korea",
    "KR": "South Korea",
    "MF": "Saint Martin",
    "MM": "Myanmar",
    "SX": "Sint Maarten",
    "SZ": "Eswatini",
    "TC": "Turks & Caicos Islands",
    "TF": "French Southern Territories",
    "UM": "US Minor Outlying Islands",
    "VC": "St Vincent & the Grenadines",
    "VG": "British Virgin Islands",
    "VI": "US Virgin Islands",
    "WS": "Samoa",
}

# Display names of zone cities whose Location part is not spelled as a name.
ZONE_CITY_NAMES = {
    "Antarctica/DumontDUrville": "Dumont d'Urville",
}

# Regions that got a zone of their own after the gazetteer's snapshot:
# (country, GeoNames admin1 code, zone the snapshot gives) -> today's zone.
REGION_ZONE_OVERRIDES = {
    ("CL", "02", "America/Santiago"): "America/Coyhaique",  # Aysén, since 2025
}

# GeoNames feature codes of places that are not towns of their own or no
# longer exist: sections of a city, historical, abandoned, destroyed.
SKIPPED_FEATURES = {"PPLX", "PPLH", "PPLQ", "PPLW", "PPLCH"}

MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
ISO_DAYS = ["", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]


class DataError(Exception):
    """A broken invariant of the generated data: the run must stop."""


# ---------------------------------------------------------------- small helpers


def fmt_deg(value: float) -> str:
    """Degrees with at most five decimals, no trailing zeros, never "-0"."""
    text = f"{value:.5f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def fmt_offset(seconds: int) -> str:
    """Hours:minutes with the sign on both parts, as the zone table wants it."""
    if seconds % 60:
        raise DataError(f"offset {seconds} s is not a whole number of minutes")
    minutes = abs(seconds) // 60
    sign = "-" if seconds < 0 else ""
    h, m = divmod(minutes, 60)
    return f"{sign}{h}:{sign if m else ''}{m:02d}"


def fmt_hours(seconds: int) -> str:
    return f"{seconds / 3600:g}"


def fold(text: str) -> str:
    """A name reduced for matching: no accents, no case, letters and digits only."""
    decomposed = unicodedata.normalize("NFKD", text)
    return "".join(c for c in decomposed.casefold() if c.isalnum())


def parse_iso6709(text: str) -> tuple[float, float]:
    """zone.tab coordinates: +DDMM+DDDMM or +DDMMSS+DDDMMSS."""
    m = re.fullmatch(r"([+-])(\d{2})(\d{2})(\d{2})?([+-])(\d{3})(\d{2})(\d{2})?", text)
    if not m:
        raise DataError(f"bad zone.tab coordinates {text!r}")

    def part(sign, d, mi, s):
        v = int(d) + int(mi) / 60 + (int(s) / 3600 if s else 0)
        return -v if sign == "-" else v

    return part(*m.group(1, 2, 3, 4)), part(*m.group(5, 6, 7, 8))


# ------------------------------------------------------------- zoneinfo inputs


@dataclass
class ZoneTabEntry:
    country: str
    lat: float
    lon: float
    name: str
    comment: str


def read_zone_tab(zoneinfo: Path) -> list[ZoneTabEntry]:
    entries = []
    for line in (zoneinfo / "zone.tab").read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        cols = line.split("\t")
        lat, lon = parse_iso6709(cols[1])
        entries.append(ZoneTabEntry(cols[0], lat, lon, cols[2], cols[3] if len(cols) > 3 else ""))
    return entries


def read_countries(zoneinfo: Path) -> dict[str, str]:
    names = {}
    for line in (zoneinfo / "iso3166.tab").read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            code, name = line.split("\t")[:2]
            names[code] = COUNTRY_NAMES.get(code, name)
    return names


def read_links(zoneinfo: Path) -> dict[str, str]:
    """Link name -> target zone, from the compact source of the database."""
    links = {}
    for line in (zoneinfo / "tzdata.zi").read_text(encoding="utf-8").splitlines():
        if line.startswith("L "):
            _, target, name = line.split()
            links[name] = target
    return links


def tzdata_version(zoneinfo: Path) -> str:
    with open(zoneinfo / "tzdata.zi", encoding="utf-8") as f:
        first = f.readline().strip()
    return first.removeprefix("# version ").strip()


def posix_tz_string(zoneinfo: Path, zone: str) -> str:
    data = (zoneinfo / zone).read_bytes()
    if not data.startswith(b"TZif") or data[4:5] < b"2":
        raise DataError(f"{zone}: compiled file has no POSIX footer (version 1)")
    return data.rstrip(b"\n").rsplit(b"\n", 1)[-1].decode("ascii")


# ------------------------------------------------------------ POSIX TZ strings


@dataclass
class PosixDate:
    kind: str  # "M" (month.week.day), "J" (Julian 1..365, no Feb 29), "N" (0..365)
    month: int = 0
    week: int = 0
    wday: int = 0  # 0 Sunday .. 6 Saturday
    day: int = 0
    time: int = 7200  # seconds after local midnight, may be negative or past 24 h


@dataclass
class PosixTZ:
    std_abbr: str
    std_off: int  # seconds east of UTC
    dst_abbr: str | None = None
    dst_off: int | None = None
    start: PosixDate | None = None
    end: PosixDate | None = None


def _parse_time(text: str) -> int:
    m = re.fullmatch(r"([+-]?)(\d{1,3})(?::(\d{2}))?(?::(\d{2}))?", text)
    if not m:
        raise DataError(f"bad time {text!r} in a TZ string")
    v = int(m.group(2)) * 3600 + int(m.group(3) or 0) * 60 + int(m.group(4) or 0)
    return -v if m.group(1) == "-" else v


def _parse_date(text: str) -> PosixDate:
    day_text, _, time = text.partition("/")
    if m := re.fullmatch(r"M(\d{1,2})\.(\d)\.(\d)", day_text):
        d = PosixDate("M", month=int(m.group(1)), week=int(m.group(2)), wday=int(m.group(3)))
    elif m := re.fullmatch(r"J(\d{1,3})", day_text):
        d = PosixDate("J", day=int(m.group(1)))
    elif m := re.fullmatch(r"(\d{1,3})", day_text):
        d = PosixDate("N", day=int(m.group(1)))
    else:
        raise DataError(f"bad rule date {text!r} in a TZ string")
    if time:
        d.time = _parse_time(time)
    return d


def parse_posix_tz(text: str) -> PosixTZ:
    name = r"(<[A-Za-z0-9+-]+>|[A-Za-z]{3,})"
    offset = r"([+-]?\d{1,2}(?::\d{2}){0,2})"
    m = re.fullmatch(name + offset + "(?:" + name + offset + "?" + r"(?:,([^,]+),([^,]+))?)?", text)
    if not m:
        raise DataError(f"cannot read TZ string {text!r}")
    std_abbr, std_off, dst_abbr, dst_off, start, end = m.groups()
    tz = PosixTZ(std_abbr.strip("<>"), -_parse_time(std_off))
    if dst_abbr:
        tz.dst_abbr = dst_abbr.strip("<>")
        tz.dst_off = -_parse_time(dst_off) if dst_off else tz.std_off + 3600
        if not start:
            raise DataError(f"TZ string {text!r} has daylight time without rules")
        tz.start, tz.end = _parse_date(start), _parse_date(end)
    return tz


# ------------------------------------------------------------ the zone model


@dataclass(frozen=True)
class ModelRule:
    """One line of tz_dst: kind "ON" (fixed day) or "DAY" (weekday rule)."""

    on: bool
    weekday: int  # 1..7 Monday..Sunday; 0 for "ON"
    day: int  # "ON": day of month; weekday rule: 0 = last, n = first on or after n
    month: int
    at: int = 0  # time of day of the change, seconds after 00:00 of the day
    clock: str = "s"  # "u" UTC, "s" standard time, "" the clock time before the change

    def at_text(self) -> str:
        """The eighth field: "1:00u", "2:00", "24:00", "-1:00"."""
        sign = "-" if self.at < 0 else ""
        v = abs(self.at)
        text = f"{sign}{v // 3600}:{v // 60 % 60:02d}"
        if v % 60:
            text += f":{v % 60:02d}"
        return text + self.clock

    def describe(self) -> str:
        if self.on:
            return f"{MONTHS[self.month - 1]}{self.day}"
        wd = ISO_DAYS[self.weekday]
        return f"{MONTHS[self.month - 1]}.last{wd}" if self.day == 0 else f"{MONTHS[self.month - 1]}.{wd}>={self.day}"


@dataclass
class ModelZone:
    entry: ZoneTabEntry
    country: str
    posix: str
    std_off: int
    abbrev_format: str
    rule_key: tuple | None = None  # (start, end, save seconds, dst letters, std letters)
    rule_name: str = "-"
    notes: list[str] = field(default_factory=list)


def abbrev_template(std: str, dst: str) -> tuple[str, str, str]:
    """(format, standard letters, daylight letters) whose expansion gives both names.

    Follows the database's own habit: "AE%sT" with S/D, "CE%sT" with ""/S,
    otherwise "%s" with the whole names as letters."""
    if len(std) == len(dst):
        diff = [i for i in range(len(std)) if std[i] != dst[i]]
        if len(diff) == 1 and std[diff[0]] == "S" and dst[diff[0]] == "D":
            i = diff[0]
            return std[:i] + "%s" + std[i + 1 :], "S", "D"
    if len(dst) == len(std) + 1 and std.isalpha():
        for i in range(len(std) + 1):
            if dst[i] == "S" and dst[:i] + dst[i + 1 :] == std:
                return std[:i] + "%s" + std[i:], "", "S"
    return "%s", std, dst


def month_length(year: int, month: int) -> int:
    return calendar.monthrange(year, month)[1]


def posix_rule_to_model(d: PosixDate, shift_days: int, notes: list[str], at: int = 0,
                        clock: str = "s") -> ModelRule:
    """Expresses a POSIX date moved by whole days as a rule of the model."""
    if d.kind == "M":
        iso = d.wday if d.wday else 7
        iso = (iso - 1 + shift_days) % 7 + 1
        if d.week == 5:
            if shift_days == 0:
                return ModelRule(False, iso, 0, d.month, at, clock)
            if shift_days < 0:
                length = month_length(2026, d.month)
                if d.month == 2:
                    notes.append("a shifted last-weekday rule in February assumes 28 days")
                return ModelRule(False, iso, length - 6 + shift_days, d.month)
            notes.append("a last-weekday rule moved to the next day is kept in its month")
            return ModelRule(False, iso, 0, d.month)
        first = 1 + 7 * (d.week - 1) + shift_days
        if first < 1:
            notes.append("a first-weekday rule moved into the previous month is kept in its month")
            first = 1
        return ModelRule(False, iso, first, d.month, at, clock)
    # Julian days: "J" never counts 29 February, plain numbers count from 0 and
    # do; both become the fixed day they name in a common year.
    ordinal = d.day if d.kind == "J" else d.day + 1
    if d.kind == "N":
        notes.append("a zero-based day-of-year rule is fixed to its date in a common year")
    date = dt.date(2026, 1, 1) + dt.timedelta(days=ordinal - 1 + shift_days)
    return ModelRule(True, 0, date.day, date.month, at, clock)


def build_model_zone(entry: ZoneTabEntry, country: str, posix: str) -> ModelZone:
    tz = parse_posix_tz(posix)
    if tz.dst_abbr is None:
        return ModelZone(entry, country, posix, tz.std_off, tz.std_abbr)
    # The model knows only positive savings: the lower offset is standard time.
    # A zone whose POSIX rule saves a negative amount (winter time as "daylight")
    # gives the same clock with the two halves exchanged.
    rules = [(tz.start, tz.std_off), (tz.end, tz.dst_off)]  # (date, offset before it)
    if tz.dst_off >= tz.std_off:
        base_off, base_abbr, summer_off, summer_abbr = tz.std_off, tz.std_abbr, tz.dst_off, tz.dst_abbr
        begin, finish = rules
    else:
        base_off, base_abbr, summer_off, summer_abbr = tz.dst_off, tz.dst_abbr, tz.std_off, tz.std_abbr
        finish, begin = rules
    notes: list[str] = []
    if tz.dst_off < tz.std_off:
        notes.append("negative saving in the source, stored as standard winter time and positive summer saving")
    # The rule's time is the clock time of the offset in force before it, as
    # the model reads a time without a suffix. Where both changes happen at the
    # same UTC time (the European Union's 01:00 UTC) they are written in UTC,
    # as the database itself writes such rules, so zones of several offsets
    # share one pair.
    utc_times = [date.time - before for date, before in (begin, finish)]
    same_utc = utc_times[0] == utc_times[1]
    model = []
    for (date, before), utc_time in zip((begin, finish), utc_times):
        if same_utc:
            model.append(posix_rule_to_model(date, 0, notes, utc_time, "u"))
        else:
            model.append(posix_rule_to_model(date, 0, notes, date.time, ""))
    fmt, std_letters, dst_letters = abbrev_template(base_abbr, summer_abbr)
    zone = ModelZone(entry, country, posix, base_off, fmt, notes=notes)
    zone.rule_key = (model[0], model[1], summer_off - base_off, dst_letters, std_letters)
    return zone


def rule_name(key: tuple) -> str:
    start, end, save, dst_letters, std_letters = key
    name = f"{start.describe()}@{start.at_text()}~{end.describe()}@{end.at_text()}"
    if save != 3600:
        name += f"+{fmt_hours(save)}h"
    return f"{name}:{dst_letters or '-'}/{std_letters or '-'}"


# ------------------------------------------------ the model as the program runs it


def nth_weekday(year: int, month: int, n: int, weekday: int) -> dt.date | None:
    first = dt.date(year, month, 1).isoweekday()
    if first <= weekday:
        day = (weekday - first + 1) + 7 * (n - 1)
    else:
        day = (7 - first + 1) + weekday + 7 * (n - 1)
    if 1 <= day <= month_length(year, month):
        return dt.date(year, month, day)
    return None


def compile_rule(rule: ModelRule, year: int) -> dt.datetime:
    """The transition day of a rule in a year, at 00:00, as the program computes it."""
    if rule.on:
        return dt.datetime(year, rule.month, rule.day)
    w = rule.weekday or 7
    if rule.day == 0:
        for n in (5, 4, 3, 2, 1):
            if d := nth_weekday(year, rule.month, n, w):
                return dt.datetime(d.year, d.month, d.day)
    n = 1
    while True:
        d = nth_weekday(year, rule.month, n, w)
        if d is None:
            raise DataError(f"rule {rule} has no day in {year}")
        if d.day >= rule.day:
            return dt.datetime(d.year, d.month, d.day)
        n += 1


def rule_moment(rule: ModelRule, year: int, std_off: int, save_before: int) -> dt.datetime:
    """The moment of a rule's change in a year, in standard local time, as the
    program computes it: the day, plus the time on its clock."""
    moment = compile_rule(rule, year) + dt.timedelta(seconds=rule.at)
    if rule.clock == "u":
        moment += dt.timedelta(seconds=std_off)
    elif rule.clock == "":
        moment -= dt.timedelta(seconds=save_before)
    return moment


def model_local(zone: ModelZone, utc: dt.datetime, dates: dict) -> tuple[int, str]:
    """(offset in minutes, abbreviation) of the zone at a UTC instant, by the model."""
    t = utc + dt.timedelta(seconds=zone.std_off)
    if zone.rule_key is None:
        return zone.std_off // 60, zone.abbrev_format.replace("%s", "")
    start, end, save, dst_letters, std_letters = zone.rule_key
    year = t.year
    if (zone.rule_key, zone.std_off, year) not in dates:
        dates[(zone.rule_key, zone.std_off, year)] = (rule_moment(start, year, zone.std_off, 0),
                                                      rule_moment(end, year, zone.std_off, save))
    s, e = dates[(zone.rule_key, zone.std_off, year)]
    # A rule with a time of day (every rule written here) changes the clocks at
    # that moment: daylight time from the start moment on.
    in_force = (s <= t < e) if e > s else (t < e or t >= s)
    if in_force:
        return (zone.std_off + save) // 60, zone.abbrev_format.replace("%s", dst_letters)
    return zone.std_off // 60, zone.abbrev_format.replace("%s", std_letters)


@dataclass
class ZoneCheck:
    hours: int = 0
    exempt: int = 0
    agree: int = 0
    abbrev_agree: int = 0
    first_miss: str = ""


def check_zone(zone: ModelZone, dates: dict) -> ZoneCheck:
    tzinfo = ZoneInfo(zone.entry.name)
    begin = dt.datetime(CHECK_YEARS[0], 1, 1)
    end = dt.datetime(CHECK_YEARS[-1] + 1, 1, 1)
    hour = dt.timedelta(hours=1)

    def real(u):
        aware = u.replace(tzinfo=dt.timezone.utc).astimezone(tzinfo)
        return int(aware.utcoffset().total_seconds()) // 60, aware.tzname()

    result = ZoneCheck()
    u = begin
    while u < end:
        result.hours += 1
        real_min, real_abbr = real(u)
        model_min, model_abbr = model_local(zone, u, dates)
        if real_min == model_min:
            result.agree += 1
            if real_abbr == model_abbr:
                result.abbrev_agree += 1
        elif not result.first_miss:
            result.first_miss = f"{u:%Y-%m-%d %H:00} UTC: real {real_min} min, model {model_min} min"
        u += hour
    return result


# ------------------------------------------------------------ zone order


def order_zones(zones: list[ModelZone]) -> list[ModelZone]:
    """Alphabetical by zone name, moved only where the link rule needs it.

    A place carries the text after the first "/" of its zone's name and links
    to the first zone whose name contains that text. So every zone must come
    before every other zone whose name contains its key ("Asia/Omsk" before
    "Asia/Tomsk")."""
    zones = sorted(zones, key=lambda z: z.entry.name)
    keys = [z.entry.name.split("/", 1)[1].lower() for z in zones]
    names = [z.entry.name.lower() for z in zones]
    before = {i: set() for i in range(len(zones))}  # j -> zones that must precede j
    for i, key in enumerate(keys):
        for j, name in enumerate(names):
            if i != j and key in name:
                before[j].add(i)
    placed: list[int] = []
    done: set[int] = set()
    while len(placed) < len(zones):
        ready = [j for j in range(len(zones)) if j not in done and before[j] <= done]
        if not ready:
            stuck = [zones[j].entry.name for j in range(len(zones)) if j not in done]
            raise DataError(f"no zone order satisfies the link rule for: {', '.join(stuck)}")
        j = min(ready)
        placed.append(j)
        done.add(j)
    return [zones[j] for j in placed]


def link_zone(zone_names_lower: list[str], key: str) -> int:
    key = key.lower()
    for i, name in enumerate(zone_names_lower):
        if key in name:
            return i
    return -1


# ------------------------------------------------------------ places


@dataclass
class City:
    name: str
    ascii: str
    alternates: str
    lat: float
    lon: float
    feature: str
    country: str
    admin1: str
    population: int
    zone: str


def read_cities(path: Path) -> list[City]:
    cities = []
    with open(path, encoding="utf-8", newline="\n") as f:
        for line in f:
            c = line.rstrip("\n").split("\t")
            if len(c) < 19 or c[6] != "P" or c[7] in SKIPPED_FEATURES:
                continue
            cities.append(City(c[1].strip(), c[2], c[3], float(c[4]), float(c[5]), c[7], c[8], c[10],
                               int(c[14] or 0), c[17]))
    return cities


@dataclass
class Place:
    zone: str
    lat: float
    lon: float
    name: str
    rank: int  # 0 zone city, 1 capital, 2 others


def offsets_signature(zone: str) -> tuple:
    tzinfo = ZoneInfo(zone)
    u = dt.datetime(CHECK_YEARS[0], 1, 1, tzinfo=dt.timezone.utc)
    sig = []
    while u.year <= CHECK_YEARS[-1]:
        sig.append(u.astimezone(tzinfo).utcoffset())
        u += dt.timedelta(hours=6)
    return tuple(sig)


def resolve_city_zone(city: City, zone_tab: dict[str, ZoneTabEntry], by_country: dict[str, list[str]],
                      links: dict[str, str], signatures: dict[str, tuple], stats: dict) -> str | None:
    """The zone of zone.tab a gazetteer place belongs to, in its own country."""
    zone = REGION_ZONE_OVERRIDES.get((city.country, city.admin1, city.zone), city.zone)
    if zone in zone_tab and zone_tab[zone].country == city.country:
        return zone
    candidates = by_country.get(city.country, [])
    if not candidates:
        stats["no zone for country"] = stats.get("no zone for country", 0) + 1
        return None

    def canonical(z):
        while z in links:
            z = links[z]
        return z

    same = [z for z in candidates if canonical(z) == canonical(zone)]
    if not same:
        try:
            sig = offsets_signature(zone)
        except Exception:
            stats["unknown zone"] = stats.get("unknown zone", 0) + 1
            return None
        for z in candidates:
            if z not in signatures:
                signatures[z] = offsets_signature(z)
        same = [z for z in candidates if signatures[z] == sig]
    if not same:
        stats[f"no zone of {city.country} keeps the clock of {zone}"] = stats.get(
            f"no zone of {city.country} keeps the clock of {zone}", 0) + 1
        return None
    stats["zone name mapped"] = stats.get("zone name mapped", 0) + 1
    return min(same, key=lambda z: (zone_tab[z].lat - city.lat) ** 2 + (zone_tab[z].lon - city.lon) ** 2)


def too_close(a: Place, b: Place) -> bool:
    """Within MIN_PLACE_SEPARATION in latitude and in longitude alike."""
    return abs(a.lat - b.lat) <= MIN_PLACE_SEPARATION and abs(a.lon - b.lon) <= MIN_PLACE_SEPARATION


class PlaceGrid:
    """Finds kept places near a point quickly."""

    def __init__(self, cell: float = 1.0):
        self.cell = cell
        self.cells: dict[tuple[int, int], list[Place]] = {}

    def _key(self, lat, lon):
        return int(math.floor(lat / self.cell)), int(math.floor(lon / self.cell))

    def add(self, p: Place):
        self.cells.setdefault(self._key(p.lat, p.lon), []).append(p)

    def near(self, lat, lon, radius):
        ky, kx = self._key(lat, lon)
        r = int(math.ceil(radius / self.cell))
        for dy in range(-r, r + 1):
            for dx in range(-r, r + 1):
                for p in self.cells.get((ky + dy, kx + dx), ()):
                    if (p.lat - lat) ** 2 + (p.lon - lon) ** 2 <= radius * radius:
                        yield p


def choose_places(zones: list[ModelZone], cities: list[City], links: dict[str, str],
                  report: list[str]) -> list[Place]:
    zone_tab = {z.entry.name: z.entry for z in zones}
    by_country: dict[str, list[str]] = {}
    for z in zones:
        by_country.setdefault(z.entry.country, []).append(z.entry.name)
    for v in by_country.values():
        v.sort()

    stats: dict[str, int] = {}
    signatures: dict[str, tuple] = {}
    resolved: list[tuple[City, str]] = []
    for c in cities:
        if "\t" in c.name or not c.name:
            continue
        z = resolve_city_zone(c, zone_tab, by_country, links, signatures, stats)
        if z:
            resolved.append((c, z))

    kept: list[Place] = []
    grid = PlaceGrid()

    def try_add(place: Place, same_name_radius: float) -> bool:
        for other in grid.near(place.lat, place.lon, max(same_name_radius, 2 * MIN_PLACE_SEPARATION)):
            if too_close(other, place):
                return False
            if fold(other.name) == fold(place.name):
                return False
        kept.append(place)
        grid.add(place)
        return True

    renamed: list[str] = []
    represented: set[int] = set()  # gazetteer towns that a zone city stands for
    # 1. The city that names each zone, at zone.tab's coordinates, spelled as
    #    the gazetteer spells it when it has the same town nearby.
    for z in zones:
        e = z.entry
        plain = ZONE_CITY_NAMES.get(e.name) or e.name.rsplit("/", 1)[1].replace("_", " ")
        name = plain
        near = [c for c, cz in resolved if cz == e.name and abs(c.lat - e.lat) < 1 and abs(c.lon - e.lon) < 1]
        exact = [c for c in near if fold(c.ascii) == fold(plain) or fold(c.name) == fold(plain)]
        alias = [c for c in near if fold(plain) in {fold(a) for a in c.alternates.split(",")}]
        # A zone named after its country or island ("America/Costa_Rica")
        # has the coordinates of its main town: that town names the place.
        at_point = [c for c in near if (c.lat - e.lat) ** 2 + (c.lon - e.lon) ** 2 <= ZONE_TOWN_NEAR ** 2
                    or (c.feature in ("PPLC", "PPLG")
                        and (c.lat - e.lat) ** 2 + (c.lon - e.lon) ** 2 <= ZONE_TOWN_RADIUS ** 2)]

        def nearest(towns):
            return min(towns, key=lambda c: ((c.lat - e.lat) ** 2 + (c.lon - e.lon) ** 2, c.name))

        if exact:
            town = nearest(exact)
            name = town.name
        elif alias:
            # Known by the zone's spelling too ("Ulaanbaatar"): keep that
            # spelling; the town is not listed again under its other name.
            town = nearest(alias)
        elif at_point:
            town = max(at_point, key=lambda c: (c.population, c.name))
            name = town.name
            renamed.append(f"{e.name}: {name}")
        else:
            town = None
        if town:
            represented.add(id(town))
        if not try_add(Place(e.name, e.lat, e.lon, name, 0), 1.0):
            raise DataError(f"the city of zone {e.name} clashes with another zone city")

    # 2. National capitals and seats of government.
    resolved_count = len(resolved)
    capital_count = sum(1 for c, _ in resolved if c.feature in ("PPLC", "PPLG"))
    resolved = [x for x in resolved if id(x[0]) not in represented]
    capitals = sorted((x for x in resolved if x[0].feature in ("PPLC", "PPLG")),
                      key=lambda x: (-x[0].population, x[0].name, x[0].lat, x[0].lon))
    missing_capitals = []
    for c, z in capitals:
        if not try_add(Place(z, c.lat, c.lon, c.name, 1), 0.5):
            near_same = any(fold(p.name) == fold(c.name) for p in grid.near(c.lat, c.lon, 0.5))
            if not near_same:
                missing_capitals.append(c.name)
    if missing_capitals:
        raise DataError(f"capitals left out: {', '.join(missing_capitals)}")

    # 3. The largest towns of every country and of every zone, so that small
    #    countries and every zone have places; then the largest towns overall.
    ordered = sorted(resolved, key=lambda x: (-x[0].population, x[0].name, x[0].lat, x[0].lon))
    per_country: dict[str, int] = {}
    per_zone: dict[str, int] = {}
    for c, z in ordered:
        if per_country.get(c.country, 0) < 3 or per_zone.get(z, 0) < 3:
            if try_add(Place(z, c.lat, c.lon, c.name, 2), 0.25):
                per_country[c.country] = per_country.get(c.country, 0) + 1
                per_zone[z] = per_zone.get(z, 0) + 1
    for c, z in ordered:
        if c.population >= BIG_CITY:
            try_add(Place(z, c.lat, c.lon, c.name, 2), 0.25)
    # The rest spread out: a town only where no kept place is near, so that
    # the nearest place to any point of the map is a meaningful one.
    last = None
    for c, z in ordered:
        if len(kept) >= PLACE_TARGET:
            break
        if not any(grid.near(c.lat, c.lon, SPREAD_RADIUS)) and try_add(Place(z, c.lat, c.lon, c.name, 2), 0.25):
            last = c
    if last:
        report.append(f"- smallest town taken in the spread-out fill: {last.name} ({last.population} people)")

    report.append(f"- gazetteer places read: {len(cities)}, with a zone of their own country: {resolved_count}")
    for k in sorted(stats):
        report.append(f"- {k}: {stats[k]}")
    report.append(f"- capitals and seats of government in the gazetteer: {capital_count}, every one present")
    report.append(f"- zones named after a country or island, whose place takes the name of the town at "
                  f"the zone's point: {len(renamed)}")
    report += [f"  - {r}" for r in renamed]
    return kept


# ------------------------------------------------------------ writing


def write_lines(path: Path, rows: list[list[str]]):
    lines = []
    for row in rows:
        for cell in row:
            if "\t" in cell or "\n" in cell or "\r" in cell:
                raise DataError(f"{path.name}: a field holds a TAB or line break: {cell!r}")
        while row and row[-1] == "":
            row = row[:-1]
        lines.append("\t".join(row))
    path.write_text("\n".join(lines) + "\n", encoding="utf-8", newline="\n")


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--zoneinfo", default="/usr/share/zoneinfo", type=Path)
    ap.add_argument("--cities", required=True, type=Path, help="GeoNames cities500.txt")
    ap.add_argument("--out", required=True, type=Path)
    args = ap.parse_args()
    zi: Path = args.zoneinfo
    args.out.mkdir(parents=True, exist_ok=True)

    countries = read_countries(zi)
    entries = read_zone_tab(zi)
    links = read_links(zi)
    report = [f"tzdata {tzdata_version(zi)}, {len(entries)} zones in zone.tab", ""]

    zones = []
    for e in entries:
        if e.country not in countries:
            raise DataError(f"{e.name}: country {e.country} is not in iso3166.tab")
        zones.append(build_model_zone(e, countries[e.country], posix_tz_string(zi, e.name)))
    zones = order_zones(zones)

    # Rules: one pair per distinct (dates, saving, letters), named after them.
    rule_keys = sorted({z.rule_key for z in zones if z.rule_key},
                       key=lambda k: rule_name(k).lower())
    names = {k: rule_name(k) for k in rule_keys}
    if len({n.lower() for n in names.values()}) != len(names):
        raise DataError("two rule pairs got the same name")
    for z in zones:
        if z.rule_key:
            z.rule_name = names[z.rule_key]

    # The link rule, for every zone's own key.
    lower_names = [z.entry.name.lower() for z in zones]
    for i, z in enumerate(zones):
        if link_zone(lower_names, z.entry.name.split("/", 1)[1]) != i:
            raise DataError(f"a place of {z.entry.name} would link to another zone")

    # Checks against the system's zone database.
    dates: dict = {}
    total = ZoneCheck()
    misses = []
    for z in zones:
        r = check_zone(z, dates)
        total.hours += r.hours
        total.exempt += r.exempt
        total.agree += r.agree
        total.abbrev_agree += r.abbrev_agree
        checked = r.hours - r.exempt
        if r.agree < checked:
            misses.append((z.entry.name, checked - r.agree, checked, r.first_miss))
        elif r.abbrev_agree < r.agree:
            misses.append((z.entry.name, 0, checked, f"abbreviation differs in {r.agree - r.abbrev_agree} hours"))
    checked = total.hours - total.exempt
    agreement = 100.0 * total.agree / checked
    abbrev_agreement = 100.0 * total.abbrev_agree / checked

    # Places.
    cities = read_cities(args.cities)
    place_report: list[str] = []
    places = choose_places(zones, cities, links, place_report)
    zone_index = {z.entry.name: i for i, z in enumerate(zones)}
    places.sort(key=lambda p: (zone_index[p.zone], p.rank, fold(p.name), p.name, p.lat, p.lon))
    for p in places:
        key = p.zone.split("/", 1)[1]
        if link_zone(lower_names, key) != zone_index[p.zone]:
            raise DataError(f"place {p.name} of {p.zone} links to another zone")
    if len(places) < MIN_PLACES:
        raise DataError(f"only {len(places)} places")
    melbourne = [p for p in places if p.name == "Melbourne" and p.zone == "Australia/Melbourne"]
    if not melbourne or abs(melbourne[0].lat + 37.81667) > 1e-4 or abs(melbourne[0].lon - 144.96667) > 1e-4:
        raise DataError("Melbourne is missing or misplaced")
    grid = PlaceGrid(0.01)
    for p in places:
        for q in grid.near(p.lat, p.lon, 2 * MIN_PLACE_SEPARATION):
            if too_close(p, q):
                raise DataError(f"places {p.name} and {q.name} lie within {MIN_PLACE_SEPARATION} degrees")
        grid.add(p)
    # Written coordinates are rounded: check the separation again on them.
    written = {(fmt_deg(p.lat), fmt_deg(p.lon)) for p in places}
    if len(written) != len(places):
        raise DataError("two places have the same written coordinates")

    # Output.
    write_lines(args.out / "tz_data.txt",
                # The header's last field names the release the rules come from;
                # the program shows it as the shipped tables' release.
                [["Country", "Latitude", "Longitude", "ZoneName", "AbbrevFormat", "UtcOffset", "RuleName", "Extra",
                  f"IANA {tzdata_version(zi)}"]]
                + [[z.country, fmt_deg(z.entry.lat), fmt_deg(z.entry.lon), z.entry.name, z.abbrev_format,
                    fmt_offset(z.std_off), z.rule_name, z.entry.comment] for z in zones])
    dst_rows = []
    for k in rule_keys:
        start, end, save, dst_letters, std_letters = k
        for rule, s, letters in ((start, save, dst_letters), (end, 0, std_letters)):
            dst_rows.append([names[k], "ON" if rule.on else "DAY", str(rule.weekday), str(rule.day),
                             str(rule.month), fmt_hours(s), letters, rule.at_text()])
    write_lines(args.out / "tz_dst.txt", dst_rows)
    write_lines(args.out / "moreplaces.txt",
                [[p.zone.split("/", 1)[1], fmt_deg(p.lat), fmt_deg(p.lon), p.name] for p in places])

    # Report.
    with_rules = sum(1 for z in zones if z.rule_key)
    report += [
        "## Counts", "",
        f"- zones: {len(zones)} ({with_rules} with daylight saving, {len(zones) - with_rules} without)",
        f"- rule pairs: {len(rule_keys)} ({2 * len(rule_keys)} lines)",
        f"- places: {len(places)} ({sum(1 for p in places if p.rank == 0)} zone cities, "
        f"{sum(1 for p in places if p.rank == 1)} capitals or seats of government), "
        f"countries with places: {len({zones[zone_index[p.zone]].country for p in places})}",
    ] + place_report + [
        "", "## Agreement with the system's zone database", "",
        f"Every zone, every hour of {CHECK_YEARS[0]}-{CHECK_YEARS[-1]} (UTC), the days of the "
        f"transitions included: {total.hours} zone-hours.",
        f"The offset agrees in {total.agree} of {checked} compared zone-hours: {agreement:.3f} %.",
        f"The abbreviation agrees as well in {total.abbrev_agree}: {abbrev_agreement:.3f} %.",
        "",
    ]
    if misses:
        report += ["| Zone | Hours that differ | Compared | First difference |", "|---|---|---|---|"]
        report += [f"| {n} | {m} | {c} | {f} |" for n, m, c, f in misses]
    else:
        report.append("No zone differs.")
    report += ["", "## Zones whose rule is approximated", ""]
    approx = [z for z in zones if z.notes]
    report += [f"- {z.entry.name} (`{z.posix}`): {'; '.join(z.notes)}" for z in approx] or ["- none"]
    (args.out / "zones_report.md").write_text("\n".join(report) + "\n", encoding="utf-8")
    print("\n".join(report))
    if agreement < MIN_AGREEMENT:
        raise DataError(f"agreement {agreement:.3f} % is below {MIN_AGREEMENT} %")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except DataError as err:
        print(f"zones.py: error: {err}", file=sys.stderr)
        sys.exit(1)
