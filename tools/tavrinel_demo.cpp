// Prints the chord tones of the default scale settings: a first look at the model.
#include "Scale.h"

#include <cstdio>

int main()
{
  Scale scale;
  for (int degree = 0; degree < 7; ++degree) {
    std::printf("degree %d:", degree + 1);
    for (int p = 0; p < 5; ++p) std::printf(" %d", scale.getNote(60, degree, 0, p));
    std::printf("\n");
  }
  return 0;
}
