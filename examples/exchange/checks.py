"""What the exchange checks share: running rdf-import and its readers, and gathering the failures
that a check reports all together at its end."""
import subprocess
import sys

failures = []


def fail(message):
    failures.append(message)


def run(arguments):
    """A program's standard output; a program that fails ends the check."""
    result = subprocess.run(arguments, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(map(str, arguments))} exited with {result.returncode}:\n{result.stderr}")
    return result.stdout


def finish(summary):
    """Prints the failures and the summary (formatted with their count); the exit status."""
    for failure in failures:
        print(failure, file=sys.stderr)
    print(summary.format(len(failures)))
    return 1 if failures else 0
