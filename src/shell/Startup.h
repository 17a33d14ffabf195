#pragma once

// The whole of main(): command line, data folder, database, first window.
int runLedgerly(int argc, char** argv);
