#!/usr/bin/env python3
"""The include layering check on a small tree made here: what a layer may
include passes, and each way of reaching up or aside is reported with the
file and line."""

import os
import subprocess
import sys
import tempfile
import unittest

CHECK = sys.argv.pop(1)
LAYERS = [arg for layer in ("base=", "middle=base", "side=base", "top=middle,side") for arg in ("--layer", layer)]


def write(root, name, *includes):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as source:
        source.write("#pragma once\n" + "".join(f'#include "{i}"\n' for i in includes))


def check(root, *extra):
    run = subprocess.run([sys.executable, CHECK, "--root", root, *LAYERS, *extra], capture_output=True, text=True)
    return run.returncode, run.stderr


class IncludeLayers(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="include layers ")
        self.root = os.path.join(self.folder.name, "frameworks")
        write(self.root, "base/Base.h", "string.h")
        write(self.root, "middle/Middle.h", "base/Base.h")
        write(self.root, "side/Side.h", "base/Base.h")
        # Reaches base through middle's own dependency: allowed.
        write(self.root, "top/Top.cpp", "middle/Middle.h", "side/Side.h", "base/Base.h", "top/Top.h")
        write(self.root, "top/Top.h")

    def tearDown(self):
        self.folder.cleanup()

    def test_a_tree_that_keeps_its_layers_passes(self):
        self.assertEqual(check(self.root), (0, ""))

    def test_an_include_from_above_or_beside_is_reported_however_it_is_written(self):
        write(self.root, "base/Up.cpp", "middle/Middle.h")
        write(self.root, "middle/Aside.cpp", "../side/Side.h")
        write(self.root, "side/deep/Bare.cpp", "../../top/Top.h")
        status, errors = check(self.root)
        self.assertEqual(status, 1)
        self.assertIn(os.path.join("base", "Up.cpp") + ":2: base includes middle/Middle.h of middle", errors)
        self.assertIn(os.path.join("middle", "Aside.cpp") + ":2: middle includes ../side/Side.h of side", errors)
        self.assertIn(os.path.join("side", "deep", "Bare.cpp") + ":2: side includes ../../top/Top.h of top", errors)
        self.assertEqual(len(errors.splitlines()), 5)

    def test_a_header_named_without_its_folder_is_reported(self):
        write(self.root, "top/Bare.cpp", "Top.h", "string.h")
        write(self.root, "middle/Climbs.cpp", "../base/Base.h")
        status, errors = check(self.root)
        self.assertEqual(status, 1)
        self.assertIn(os.path.join("top", "Bare.cpp") + ":2: Top.h is not named from its folder", errors)
        self.assertIn(os.path.join("middle", "Climbs.cpp") + ":2: ../base/Base.h is not named from its folder", errors)
        self.assertEqual(len(errors.splitlines()), 2)

    def test_a_header_from_a_forbidden_folder_is_reported(self):
        elsewhere = os.path.join(self.folder.name, "application")
        write(elsewhere, "app/App.h")
        write(self.root, "top/UsesApp.cpp", "app/App.h")
        self.assertEqual(check(self.root, "--search", elsewhere)[0], 0)
        status, errors = check(self.root, "--search", elsewhere, "--forbid", elsewhere)
        self.assertEqual(status, 1)
        self.assertIn("top includes app/App.h from", errors)

    def test_an_unknown_layer_or_an_empty_tree_is_an_error(self):
        self.assertNotEqual(check(self.root, "--layer", "extra=nowhere")[0], 0)
        self.assertNotEqual(check(os.path.join(self.folder.name, "missing"))[0], 0)


if __name__ == "__main__":
    unittest.main()
