#pragma once

// Points the user's folders (configuration, data, cache, state) and the
// temporary folder of this test process, and of the programs it starts, into
// one scratch folder that goes with the process. A test that runs the
// program's own code without a folder of its own then writes nothing into
// the developer's settings, and a settings path left pointing at a test's
// removed folder cannot bring that folder back outside the scratch one.
// Call first in main, before anything reads those variables.
void UseScratchHome();
