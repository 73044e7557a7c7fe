// The process-wide outcome flags that carry failures through deep walks.
#pragma once

struct OutcomeFlags {
    bool readOk = true;         // cleared by any read failure
    bool writeOk = true;        // cleared by any write failure
    bool jobCancelled = false;  // raised when memory runs out during a job
};

extern OutcomeFlags g_outcome;

// Sets read-ok and write-ok and clears job-cancelled: the start of a job.
void resetOutcome();
