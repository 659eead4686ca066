#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz_corpus/.

Each seed is one fuzz input: an events file, the pair mark, a gates file.
Run from anywhere; the seeds are rewritten in place.
"""
import os

MARK = b"\x1egates\x1e"
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "fuzz_corpus")

EV_HEAD = b"Name\tSymbol Type\tDescription\tFailure Model Type\tFailure Model Parameter 0\r\n"
GA_HEAD = (b"Name\tType\tDescription\t"
           + b"\t".join(b"Input  %d Type and Name" % k for k in range(18))
           + b"\tPage Flag\tNotes1\r\n")


def ev(*rows):
    return EV_HEAD + b"".join(b"\t".join(r) + b"\r\n" for r in rows)


def gate(name, kind, desc, inputs, page=b"Off", notes=b""):
    cells = [name, kind, desc] + list(inputs) + [b""] * (18 - len(inputs)) + [page, notes]
    return b"\t".join(cells) + b"\r\n"


def pump():
    events = ev([b"P1", b"Basic", b"Pump 1 fails", b"Fixed", b"1.0E-3 per hour"],
                [b"P2", b"Basic", b"Pump 2 fails", b"Fixed", b"2.0E-3"],
                [b"V1", b"Basic", b"Valve stuck", b"Rate", b"5"],
                [b"PWR", b"Basic", b"Power lost", b"Fixed", b"1e-5"])
    gates = (GA_HEAD
             + gate(b"TOP", b"OR", b"No flow", [b"G PUMPS", b"E V1", b"G SUPPLY"],
                    notes=b"Morvu-SA probability: 1.2e-4 per hour Morvu-SA criticality: high")
             + gate(b"PUMPS", b"AND", b"Both pumps fail", [b"G P1G", b"G P2G"])
             + gate(b"SUPPLY", b"NULL", b"Supply", [b"E PWR"], page=b"On")
             + gate(b"P1G", b"PAND", b"Pump 1 path", [b"E P1", b"E PWR"])
             + gate(b"P2G", b"OR", b"Pump 2 path", [b"E P2", b"E PWR"]))
    return events + MARK + gates


def minimal():
    return b"Name\r\nA\r\n" + MARK + b"Name\tInput  0 Type and Name\r\nTOP\tE A\r\n"


def escapes():
    events = ev([b"A&B", b"Basic", b"<less> & \"quoted\" 'single'", b"Fixed", b"0.5"],
                [b"\xc3\xa9t\xe9", b"Basic", b"bad utf-8 \xff\xfe and ctrl \x01\x07", b"", b""])
    gates = (GA_HEAD
             + gate(b"T<O>P", b"AND", b"x" * 200, [b"E A&B", b"E \xc3\xa9t\xe9"],
                    notes=b"Morvu-SA probability: <1> Morvu-SA criticality: &amp;"))
    return events + MARK + gates


def deep():
    events = ev([b"E", b"Basic", b"leaf", b"Fixed", b"0.1"])
    rows = [gate(b"G%d" % i, [b"AND", b"OR", b"PAND", b"NULL"][i % 4], b"level %d" % i,
                 [b"G G%d" % (i + 1), b"E E"], page=b"On" if i % 7 == 6 else b"Off")
            for i in range(40)]
    return events + MARK + GA_HEAD + b"".join(rows)


def shared_to_gate():
    events = ev([b"S", b"Basic", b"shared", b"Fixed", b"0.1"], [b"L", b"Basic", b"leaf", b"", b""])
    gates = (GA_HEAD + gate(b"TOP", b"OR", b"top", [b"E S", b"G M", b"E S"])
             + gate(b"M", b"AND", b"middle", [b"E S"])
             + gate(b"S", b"OR", b"event turned gate", [b"E L", b"E L"]))
    return events + MARK + gates


def zero_wide_shared_gates():
    # Events turned into gates, each named 18 times by the row above; the last
    # are gates without inputs, which take no room when drawn: 111,151 places
    # in a tree 0 units wide.
    events = ev(*[[b"E%d" % i, b"Basic", b"", b"", b""] for i in range(4)])
    rows = [gate(b"TOP", b"OR", b"", [b"E E0"] * 18)]
    rows += [gate(b"E%d" % i, b"AND", b"", [b"E E%d" % (i + 1)] * 18) for i in range(3)]
    rows.append(gate(b"E3", b"OR", b"", []))
    return events + MARK + GA_HEAD + b"".join(rows)


def long_shared_texts():
    # 3,888 places of one event whose description of 1,500 short lines gives
    # each of them 1,500 text spans: a tree of ordinary drawn size (3,888
    # columns, 4 levels) whose document takes about 250 MB.
    events = ev([b"E0", b"Basic", b"", b"", b""], [b"E1", b"Basic", b"", b"", b""],
                [b"E2", b"Basic", b"a\n" * 1500, b"Fixed", b"0.1"])
    rows = [gate(b"TOP", b"OR", b"", [b"E E0"] * 18), gate(b"E0", b"AND", b"", [b"E E1"] * 18),
            gate(b"E1", b"OR", b"", [b"E E2"] * 12)]
    return events + MARK + GA_HEAD + b"".join(rows)


def odd_bytes():
    # Lone CR, lone LF, NUL, BOM, empty cells, missing last line end.
    return (b"\xef\xbb\xbfName\r\nA\rB\r\nC\x00D\r\n\tX\r\nlast" + MARK
            + b"Name\tName\r\n\tTOP\r\nTOP\tmore\nstuff\r\n")


def lf_only():
    return b"Name\nA\n" + MARK + b"Name\tType\nTOP\tOR\n"


def errors():
    return {
        "undefined_event": ev([b"A", b"", b"", b"", b""]) + MARK + GA_HEAD
        + gate(b"TOP", b"OR", b"", [b"E NOPE"]),
        "gate_before_parent": ev([b"A", b"", b"", b"", b""]) + MARK + GA_HEAD
        + gate(b"TOP", b"OR", b"", [b"G M"]) + gate(b"X", b"OR", b"", [b"E A"]),
        "bad_kind": ev([b"A", b"", b"", b"", b""]) + MARK + GA_HEAD
        + gate(b"TOP", b"XOR", b"", [b"e A"]),
        "cycle": ev([b"S", b"", b"", b"", b""]) + MARK + GA_HEAD
        + gate(b"TOP", b"OR", b"", [b"E S"]) + gate(b"S", b"OR", b"", [b"G T"])
        + gate(b"T", b"AND", b"", [b"E S"]),
        "blank_line": ev([b"A", b"", b"", b"", b""]) + b"\r\n" + MARK + GA_HEAD,
        "empty": b"",
        "only_events": ev([b"A", b"Basic", b"d", b"Fixed", b"1"]),
    }


def main():
    seeds = {"pump": pump(), "minimal": minimal(), "escapes": escapes(), "deep": deep(),
             "shared_to_gate": shared_to_gate(), "odd_bytes": odd_bytes(), "lf_only": lf_only(),
             "zero_wide_shared_gates": zero_wide_shared_gates(),
             "long_shared_texts": long_shared_texts()}
    seeds.update(errors())
    for target in ("fuzz_read_pair", "fuzz_load_export"):
        d = os.path.join(OUT, target)
        os.makedirs(d, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
