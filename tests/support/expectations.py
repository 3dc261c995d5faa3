"""The end-to-end scripts' verdict: every unmet expectation is printed and counted."""
failures = []


def expect(condition, what, output=""):
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}\n{output}".rstrip("\n"), flush=True)


def verdict(name):
    print(f"{name}: {len(failures)} expectation(s) failed" if failures else f"{name}: all met")
    return 1 if failures else 0
