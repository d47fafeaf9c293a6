// Test hooks of the list module, for tests only: the public header list.h has none.
#pragma once

// Makes the next `count` allocations of this module (handle records and blocks) after `skip`
// successful ones fail (0, 0: none fail), so tests can show that an allocation failure leaves a
// list exactly as it was.
void ListTestFailAllocations(int skip, int count);
