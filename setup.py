"""The build of the Python module sdof for pip: CMake builds the extension sdof._sdof (the C++
library and python/module.cc) and setuptools packages it with the Python files of python/sdof.
The version is the CMake project's."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

root = Path(__file__).resolve().parent


def project_version() -> str:
    text = (root / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(\S+ VERSION ([0-9.]+)", text).group(1)


class cmake_extension(Extension):
    def __init__(self, name: str):
        super().__init__(name, sources=[])


class cmake_build(build_ext):
    def build_extension(self, ext: Extension) -> None:
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        options = [
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DCMAKE_BUILD_TYPE=Release",
            "-DSDOFRESP_TESTS=OFF",
            "-DSDOFRESP_BENCH=OFF",
            "-DSDOF_PYTHON=ON",
        ]
        try:  # pybind11 from pip, where it is there; else CMake finds Debian's pybind11-dev
            import pybind11

            options.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "-S", str(root), "-B", str(build), *options], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_sdof", "-j", jobs],
                       check=True)
        built = next((build / "python" / "sdof").glob("_sdof*.so"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    packages=["sdof"],
    package_dir={"": "python"},
    package_data={"sdof": ["*.pyi", "py.typed"]},
    ext_modules=[cmake_extension("sdof._sdof")],
    cmdclass={"build_ext": cmake_build},
    zip_safe=False,
)
