"""Prints the folder under PREFIX where this interpreter looks for modules.

    python3 site_dir.py PREFIX

Run by `cmake --install` with the interpreter the build chose. The first
of these that the interpreter searches (sys.path) wins:

1. a sysconfig scheme's platlib with its bases replaced by PREFIX, Debian's
   own scheme first (PREFIX /usr: /usr/lib/python3/dist-packages), then the
   interpreter's default scheme (a virtual environment, pyenv, or a Python
   built from source, when PREFIX is its own prefix), then the rest;
2. any folder of sys.path under PREFIX that ends in site-packages or
   dist-packages (Debian's /usr/local/lib/python3.X/dist-packages for
   PREFIX /usr/local).

Otherwise it prints the posix_prefix scheme's platlib under PREFIX
(PREFIX/lib/python3.X/site-packages), which the interpreter finds only
through PYTHONPATH, and says so on stderr.
"""

import os
import sys
import sysconfig


def searched():
    return {os.path.realpath(p) for p in sys.path if p}


def under(prefix, folder):
    return os.path.commonpath([prefix, os.path.abspath(folder)]) == prefix


def schemes():
    names = list(sysconfig.get_scheme_names())
    first = ["deb_system"]
    default = getattr(sysconfig, "get_default_scheme", None)
    first.append(default() if default else "posix_prefix")
    return [n for n in first if n in names] + [n for n in names if n not in first and n.startswith("posix")]


def main():
    prefix = os.path.abspath(sys.argv[1])
    bases = {"base": prefix, "platbase": prefix, "installed_base": prefix, "installed_platbase": prefix}
    on_path = searched()
    for scheme in schemes():
        folder = sysconfig.get_path("platlib", scheme, vars=bases)
        if folder and under(prefix, folder) and os.path.realpath(folder) in on_path:
            print(folder)
            return
    for folder in sys.path:
        if folder and under(prefix, folder) and os.path.basename(folder) in ("site-packages", "dist-packages"):
            print(folder)
            return
    folder = sysconfig.get_path("platlib", "posix_prefix", vars=bases)
    print(f"{sys.executable} does not search {folder}: add it to PYTHONPATH", file=sys.stderr)
    print(folder)


if __name__ == "__main__":
    main()
