"""The Linux wheel's platform tag from what a library asks for: the oldest manylinux tag whose
systems have its glibc and its C++ runtime, and no tag at all for what manylinux lacks."""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "package"))
import python_wheel  # noqa: E402

HEADERS = """
Dynamic Section:
  NEEDED               libstdc++.so.6
  NEEDED               libgcc_s.so.1
  NEEDED               libc.so.6
  SONAME               libhwid.so.1
"""


def symbols(*versions):
    return "".join(f"0000000000000000      DF *UND*\t0000000000000000 ({version}) f{number}\n"
                   for number, version in enumerate(versions))


@pytest.mark.parametrize(
    "versions, tag",
    [
        (("GLIBC_2.2.5", "GLIBC_2.17", "GLIBCXX_3.4.19", "CXXABI_1.3.7"), "manylinux_2_17"),
        # glibc alone allows 2_34; that systems' libstdc++ (GCC 11) lacks GLIBCXX_3.4.30.
        (("GLIBC_2.34", "GLIBCXX_3.4.30", "CXXABI_1.3.9", "GCC_3.0"), "manylinux_2_35"),
        (("GLIBC_2.34", "GLIBCXX_3.4.29", "CXXABI_1.3.13"), "manylinux_2_34"),
        # Versions compare as numbers: 3.4.9 is older than 3.4.19.
        (("GLIBC_2.17", "GLIBCXX_3.4.9"), "manylinux_2_17"),
        (("GLIBC_2.28", "GLIBCXX_3.4.26"), "manylinux_2_31"),
        (("GLIBC_2.36",), "manylinux_2_36"),
        (("GLIBC_2.18", "CXXABI_1.3.8"), "manylinux_2_28"),
    ],
    ids=["centos7", "gcc12-runtime", "rhel9", "numeric-order", "runtime-raises", "newest-glibc",
         "cxxabi-raises"],
)
def test_the_oldest_tag_that_has_everything(versions, tag):
    assert python_wheel.tag_for("lib", HEADERS, symbols(*versions)) == f"{tag}_x86_64"


@pytest.mark.parametrize(
    "headers, versions, message",
    [
        (HEADERS + "  NEEDED               libssl.so.3\n", ("GLIBC_2.17",), "libssl.so.3"),
        (HEADERS, ("GLIBC_2.38",), "GLIBC_2.38"),
        (HEADERS, ("GLIBC_2.17", "GLIBCXX_3.4.32"), "GLIBCXX_3.4.32"),
    ],
    ids=["foreign-library", "glibc-too-new", "runtime-too-new"],
)
def test_no_tag_for_what_manylinux_lacks(headers, versions, message):
    with pytest.raises(SystemExit, match=message.replace(".", r"\.")):
        python_wheel.tag_for("lib", headers, symbols(*versions))
