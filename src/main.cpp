// ZIRidev: odor dispersion model.
#include "driver/driver.h"
#include "par/par.h"

int main(int argc, char* argv[]) {
  ParStart(&argc, &argv);
  return ParEnd(Main(argc, argv));
}
