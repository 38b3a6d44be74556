// The object-layer fixtures of the fun3d tests, built into this binary as well.
#include "fun3d/class_fixture.cpp"
#include "fun3d/fun3d_fixture.cpp"
