#pragma once
// Four vertices in two triangles over four bones, as the converter writes
// them for tests/mref/MRefTest.cpp's SMD: that test holds the writer to these
// bytes, the others read them as any converted file.

namespace veskar::test {

constexpr const char* kConvertedMRef =
    "version 1\nref\nskin.png\nnode 4\nvertex 4\nindex 2\n"
    "nodes\n0 \"Bip01\" -1\n1 \"Bip01 Spine\" 0\n2 \"Bip01 L Hand\" 1\n3 \"x\" 2\nend\n"
    "skeleton\ntime 0\n"
    "  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\n"
    "  1 0.000000 0.000000 10.000000 0.000000 0.000000 0.500000\n"
    "  2 5.000000 0.000000 0.000000 0.250000 0.000000 0.000000\n"
    "  3 1.000000 1.000000 1.000000 0.000000 0.000000 0.000000\n"
    "end\nvertices\n"
    "0 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 0.500000 0.250000 1 0 1.000000\n"
    "1 4.000000 5.000000 6.000000 0.000000 1.000000 0.000000 0.750000 1.000000 2 1 0.500000 2 0.500000\n"
    "2 7.000000 8.000000 9.000000 1.000000 0.000000 0.000000 0.000000 0.000000 2 2 0.250000 3 0.750000\n"
    "0 0.000000 0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 1 0 1.000000\n"
    "end\nindices\n0 1 2\n1 0 3\nend\n";

} // namespace veskar::test
