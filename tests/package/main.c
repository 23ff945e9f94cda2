/* Prints the left toe sole's position at the home state, one element per
 * line, and the library's refusal of an unknown name. */
#include <stdio.h>

#include <bipedkin.h>

int main(void) {
  const bipedkin_evaluator* e = NULL;
  if (bipedkin_find("pos_toe_sole_l", &e) != BIPEDKIN_OK) {
    fprintf(stderr, "%s\n", bipedkin_last_error());
    return 1;
  }
  double x[BIPEDKIN_STATE_SIZE] = {0};
  double p[3];
  if (bipedkin_eval(e, x, p, BIPEDKIN_ZERO_FILL) != BIPEDKIN_OK) return 1;
  for (int i = 0; i < 3; ++i) printf("%.17g\n", p[i]);
  if (bipedkin_find("pos_nose_l", &e) != BIPEDKIN_UNKNOWN_NAME) return 1;
  printf("%s\n", bipedkin_last_error());
  return 0;
}
