// e^x correctly rounded to nearest, from IEEE double operations only, so that every build and
// every maths library gives the same bits.
#pragma once

double ExactExp(double x);
