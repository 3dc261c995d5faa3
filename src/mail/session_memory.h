#pragma once
// What an account's checks remember from one to the next in this run, so that a check can
// skip a question whose answer it already has. Only the check that runs touches it (under the
// account's worker mark); a failed check clears what it could no longer trust.
struct SessionMemory {
};
