// The Wine test's driver, built only into the program's test variant: it
// reports what the windows show on stdout, answers the message boxes and
// walks through the About box, pausing where the test takes screenshots.
#pragma once

void StartWineTestDriver();
