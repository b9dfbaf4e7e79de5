"""Independent oracle for the line queries of the parser's input streams.

Writes random texts (LF, CR LF, no final newline) to OUT/caseN.txt and the expected answers
to OUT/answers.txt, one per line:
  N number POS LINE    line number of position POS (1 + LFs in [0, POS]; POS == size counts all)
  N start LINE OFFSET  offset of the first character of LINE
  N text LINE HEX      LINE's characters up to its LF, CR dropped (hex, "-" when empty)
  N count LINES        line number of the last character
"""
import os
import random
import sys


def line_number(data, pos):
    if pos < -1 or pos > len(data):
        return 0
    end = pos + 1 if pos < len(data) else len(data)
    return 1 + data[:end].count(b"\n")


def line_start(data, line):
    if line < 1:
        return -1
    if line == 1:
        return 0
    seen = 0
    for i, c in enumerate(data):
        if c == 0x0A:
            seen += 1
            if seen == line - 1:
                return i + 1
    return len(data)


def line_text(data, line):
    start = line_start(data, line)
    if start < 0 or start >= len(data):
        return b""
    end = data.find(b"\n", start)
    if end < 0:
        end = len(data)
    return data[start:end].replace(b"\r", b"")


def main(out):
    rng = random.Random(20261210)
    with open(os.path.join(out, "answers.txt"), "w") as answers:
        for n in range(12):
            ending = [b"\n", b"\r\n"][n % 2]
            lines = [bytes(rng.choice(b"abc xyz\t") for _ in range(rng.randint(0, 12)))
                     for _ in range(rng.randint(1, 9))]
            data = ending.join(lines) + (ending if n % 3 == 0 else b"")
            if n == 11:
                data = data * 700  # a text larger than the file stream's window
            with open(os.path.join(out, "case%d.txt" % n), "wb") as f:
                f.write(data)
            positions = [-2, 0, len(data) - 1, len(data), len(data) + 1] + [rng.randint(0, max(0, len(data) - 1))
                                                                            for _ in range(20)]
            for pos in positions:
                answers.write("%d number %d %d\n" % (n, pos, line_number(data, pos)))
            count = line_number(data, len(data) - 1)
            for line in range(0, count + 2):
                answers.write("%d start %d %d\n" % (n, line, line_start(data, line)))
                text = line_text(data, line)
                answers.write("%d text %d %s\n" % (n, line, text.hex() if text else "-"))
            answers.write("%d count %d\n" % (n, count))


if __name__ == "__main__":
    main(sys.argv[1])
