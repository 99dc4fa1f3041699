"""The wheel holds shared libraries for one platform, named in setup.cfg's [bdist_wheel]
plat_name: its tag is py3-none-PLATFORM (any Python 3, no Python ABI, since the module reaches
the libraries through ctypes)."""
from setuptools import setup
from wheel.bdist_wheel import bdist_wheel


class PlatformWheel(bdist_wheel):
    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        return "py3", "none", self.plat_name.replace("-", "_").replace(".", "_")


setup(cmdclass={"bdist_wheel": PlatformWheel})
