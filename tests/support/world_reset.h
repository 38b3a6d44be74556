// A clean entity layer on the headless platform, for fixtures of the world and object tests.
#pragma once

void ResetWorldForTest();
