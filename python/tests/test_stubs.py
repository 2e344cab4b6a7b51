"""The type stubs against the built module: mypy's stubtest for names,
classes and attributes, and, since stubtest cannot see the parameters of a
compiled function, the signature each docstring begins with against the
stub's."""

import ast
import pathlib
import subprocess
import sys

import pytest

import stratus
from stratus import _stratus

HERE = pathlib.Path(__file__).parent
STUB = pathlib.Path(_stratus.__file__).parent / "_stratus.pyi"


def test_stubtest_finds_no_drift():
    pytest.importorskip("mypy.stubtest")
    run = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "stratus", "--concise",
         "--allowlist", str(HERE / "stubtest-allowlist.txt")],
        capture_output=True, text=True, timeout=240,
        cwd=pathlib.Path(stratus.__file__).parents[1])
    assert run.returncode == 0, run.stdout + run.stderr


def shape(arguments, skip_self):
    """(name, kind, has a default) of each parameter."""
    a = arguments
    params = a.posonlyargs + a.args
    defaults = [False] * (len(params) - len(a.defaults)) + [True] * len(a.defaults)
    out = [(p.arg, "positional", d) for p, d in zip(params, defaults)]
    if skip_self:
        out = out[1:]
    out += [(p.arg, "keyword", d is not None)
            for p, d in zip(a.kwonlyargs, a.kw_defaults)]
    return out


def docstring_signature(doc):
    """The parameters of the "name(...)" a docstring begins with."""
    start = doc.index("(")
    depth = 0
    for end, ch in enumerate(doc[start:], start):
        depth += {"(": 1, ")": -1}.get(ch, 0)
        if depth == 0:
            break
    tree = ast.parse(f"def f{doc[start:end + 1]}: pass")
    return shape(tree.body[0].args, skip_self=False)


def stub_functions():
    """(qualified name, runtime object, stub parameters) of each function
    and method of the stub, properties left out."""
    tree = ast.parse(STUB.read_text())
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            yield node.name, getattr(_stratus, node.name), shape(node.args, False)
        if isinstance(node, ast.ClassDef) and not any(
                isinstance(b, ast.Name) and b.id.endswith(("Error", "Warning", "NotFound"))
                for b in node.bases):
            cls = getattr(_stratus, node.name)
            for item in node.body:
                if not isinstance(item, ast.FunctionDef) or item.decorator_list:
                    continue
                yield (f"{node.name}.{item.name}", getattr(cls, item.name),
                       shape(item.args, True))


def test_docstring_signatures_equal_the_stubs():
    checked = 0
    for name, obj, stub in stub_functions():
        if name.endswith("__init__") and not obj.__doc__.startswith(name.split(".")[0]):
            continue  # a class Python code cannot make
        assert docstring_signature(obj.__doc__) == stub, name
        checked += 1
    assert checked >= 25
