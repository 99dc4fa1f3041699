"""The wheel holds shared libraries for one platform, named in setup.cfg's [bdist_wheel]
plat_name: it installs into the platform's site-packages, and its tag is py3-none-PLATFORM (any
Python 3, no Python ABI, since the module reaches the libraries through ctypes)."""
from setuptools import Distribution, setup
from wheel.bdist_wheel import bdist_wheel


class BinaryDistribution(Distribution):
    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self):
        return "py3", "none", self.plat_name.replace("-", "_").replace(".", "_")


setup(distclass=BinaryDistribution, cmdclass={"bdist_wheel": PlatformWheel})
