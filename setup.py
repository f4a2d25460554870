# SPDX-License-Identifier: MIT
"""The wheel's compiled module, zorvan._zorvan, built by the project's own
CMake with only the targets it needs (the render and photo libraries, the
examples and the module); pyproject.toml has the rest."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
OPTIONS = ["-DCMAKE_BUILD_TYPE=Release", "-DZORVAN_PYTHON=ON", "-DZORVAN_TOOLS=OFF",
           "-DZORVAN_GIMP=OFF", "-DZORVAN_TESTS=OFF", "-DZORVAN_BENCH=OFF"]


def version():
    """The CMake project's version, the one every artefact carries."""
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Zorvan VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        tree = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(tree), "-G", "Ninja", *OPTIONS,
                        f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        jobs = ["-j", str(self.parallel)] if self.parallel else []
        subprocess.run(["cmake", "--build", str(tree), "--target", "_zorvan", *jobs], check=True)
        built = next((tree / "python" / "zorvan").glob("_zorvan*" + os.path.splitext(
            self.get_ext_filename("x"))[1]))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(version=version(),
      package_dir={"": "python"},
      packages=["zorvan"],
      ext_modules=[Extension("zorvan._zorvan", sources=[])],
      cmdclass={"build_ext": CMakeBuild},
      # Beside the project's own build trees (build*/), not inside build/.
      options={"build": {"build_base": "build-wheel"}})
