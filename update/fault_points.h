// Places where a test build of the library dies on request, as a process
// does when the user ends it or the power goes, to prove that no moment of an
// update leaves a broken installation. Only the test build defines
// KORVAN_FAULT_POINTS; in the shipped library the points are nothing.
#pragma once

#ifdef KORVAN_FAULT_POINTS
// Ends the process at once when the test names `point` (with "#n" appended:
// at its n-th passing, counted from 1).
void ReachFaultPoint(const char* point);
#define KORVAN_FAULT_POINT(point) ReachFaultPoint(point)
#else
#define KORVAN_FAULT_POINT(point) static_cast<void>(0)
#endif
