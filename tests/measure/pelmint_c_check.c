/* The public header compiled as C, and a call through it from C. */
#include <pelmint.h>

#include <stddef.h>

int main(void) {
    static const uint8_t pixels[9] = {0, 10, 20, 30, 40, 50, 60, 70, 80};
    CircleAreaAverageFn resolved = CircleAreaAverage;
    const double average = resolved(pixels, 3, 3, 8, 1, 1, 1);
    const double rejected = CircleAreaAverage(NULL, 3, 3, 8, 1, 1, 1);
    return average == 40.0 && rejected == -1.0 ? 0 : 1;
}
