#include "core/outcome.h"

OutcomeFlags g_outcome;

void resetOutcome() {
    g_outcome = OutcomeFlags{};
}
