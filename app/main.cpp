// quendar: the fire in an examiner viewer window, steered with six keys.
//   quendar [num_of_generators num_of_particles]
// Exit status: 0 after the window was closed, 1 without a display or without
// the memory for the particles, 2 for a command line it cannot use.

#include "app/Program.h"

int main(int argc, char **argv) { return runProgram(argc, argv, nullptr); }
