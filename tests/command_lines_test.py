#!/usr/bin/env python3
"""The command lines of the four programs, read one way.

Usage: command_lines_test.py PATHWICK PATHWICK_TRACE PATHWICK_RECORD PATHWICK_MAZE
       VERSION [unittest options]

One table of command lines, each tried on every program: bad usage is
exit 2 wherever it stands, beside --help and --version too; a message
stays one line, with the names in it quoted and their control characters
escaped; each program answers --version. Nothing here opens a window.
"""

import os
import subprocess
import sys
import tempfile
import unittest

PROGRAMS = {}
VERSION = ""

# Arguments, and the problem every program reports for them: exit 2 and the
# two lines of bad usage.
BAD_USAGE = [
    (["--help", "--bogus"], "unknown option '--bogus'"),
    (["--bogus", "--help"], "unknown option '--bogus'"),
    (["--version", "--bogus=1"], "unknown option '--bogus'"),
    (["--help", "---"], "unknown option '---'"),
    (["---"], "unknown option '---'"),
    (["-x\n\x1b[2J"], "unknown option '-x\\n\\x1b[2J'"),
    (["--help", "{option}"], "option '{option}' needs a value"),
    (["--version", "{option}="], "option '{option}' needs a value"),
]
# An option of each program that takes a value, and a value it takes.
VALUE_OPTION = {"pathwick": ("--map", "m.txt"), "pathwick-trace": ("--frames", "3"),
                "pathwick-record": ("--map", "m.txt"), "pathwick-maze": ("--seed", "7")}
# The same for the programs that take file names as operands, and for
# pathwick, which takes none.
OPERAND_USAGE = {
    "pathwick": [
        ([""], "unexpected argument ''"),
        (["--help", "extra"], "unexpected argument 'extra'"),
        (["--version", "a\nb\tc\x7f"], "unexpected argument 'a\\nb\\tc\\x7f'"),
    ],
    "pathwick-trace": [
        ([""], "an empty argument is no file name"),
        (["--help", "a.txt", ""], "an empty argument is no file name"),
        (["--version", "a.txt", "b\n.txt"],
         "more than one map file: 'b\\n.txt' (--summary takes several)"),
    ],
    "pathwick-maze": [
        ([""], "an empty argument is no file name"),
        (["--help", "a.txt", "b\n.txt"], "more than one output file: 'b\\n.txt'"),
    ],
    "pathwick-record": [
        ([""], "an empty argument is no file name"),
        (["--help", ""], "an empty argument is no file name"),
        (["--version", "a.gif", "b\n.gif"], "more than one output file: 'b\\n.gif'"),
        (["--help", "--from", "5", "--to", "3"], "--to comes before --from"),
    ],
}


def run(program, *arguments, cwd=None):
    return subprocess.run([PROGRAMS[program], *arguments], capture_output=True, text=True,
                          cwd=cwd, env=dict(os.environ, DISPLAY=""), timeout=60)


class CommandLinesTest(unittest.TestCase):
    def test_bad_usage_is_exit_2_with_one_line_saying_what_is_wrong(self):
        for program in PROGRAMS:
            option, _ = VALUE_OPTION[program]
            for arguments, problem in BAD_USAGE + OPERAND_USAGE[program]:
                arguments = [argument.format(option=option) for argument in arguments]
                problem = problem.format(option=option)
                with self.subTest(program=program, arguments=arguments):
                    result = run(program, *arguments)
                    self.assertEqual(result.returncode, 2)
                    self.assertEqual(result.stdout, "")
                    self.assertEqual(result.stderr,
                                     f"{program}: {problem}\n"
                                     f"Try '{program} --help' for more information.\n")

    def test_help_and_version_answer_a_sound_command_line(self):
        for program in PROGRAMS:
            for arguments, starts in [(["--help"], "Usage: " + program),
                                      (["--help", "--version"], "Usage: " + program),
                                      (["--version"], f"{program} {VERSION}\n"),
                                      ([*VALUE_OPTION[program], "--version"],
                                       f"{program} {VERSION}\n")]:
                with self.subTest(program=program, arguments=arguments):
                    result = run(program, *arguments)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertTrue(result.stdout.startswith(starts), result.stdout)
                    self.assertEqual(result.stderr, "")

    def test_a_file_name_in_a_message_is_quoted_and_its_control_characters_escaped(self):
        with tempfile.TemporaryDirectory() as folder:
            name = "no\nsuch\x1b[31m"
            for program, arguments, says in [
                    ("pathwick-trace", [name], "cannot open 'no\\nsuch\\x1b[31m': "),
                    ("pathwick-record", ["--map", name, "out.gif"],
                     "cannot read the map 'no\\nsuch\\x1b[31m': ")]:
                with self.subTest(program=program):
                    result = run(program, *arguments, cwd=folder)
                    self.assertEqual(result.returncode, 2)
                    self.assertEqual(result.stderr.count("\n"), 1, result.stderr)
                    self.assertIn(says, result.stderr)


if __name__ == "__main__":
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    PROGRAMS = {os.path.basename(path): os.path.abspath(path) for path in sys.argv[1:5]}
    VERSION = sys.argv[5]
    unittest.main(argv=sys.argv[:1] + sys.argv[6:], verbosity=2)
