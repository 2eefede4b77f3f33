/*
** Entry point of the console program Rimbal.
*/
#include "rimbal.h"

/* Runs Rimbal and ends with its exit code. */
int main(int argc, char** argv) {
  return RunRimbal(argc, argv);
}
