/*
** Shared checking for the indexed access of the growable arrays.
**
** An index outside an array is a programming error of the caller: it is
** logged, and the array yields its nearest element instead (the first for
** a negative index, the last for one past the end).  Access to an empty
** array is logged separately; callers are expected to test the count first.
*/
#ifndef XB_ARRAYIMP_H
#define XB_ARRAYIMP_H

/*
** Checks INDEX against an array of COUNT elements.  Returns INDEX when it is
** inside, the nearest valid index (after logging "E_ <className>::[i]
** ILLEGAL INDEX") when it is outside, and -1 (after logging "E_
** <className>::[i] EMPTY") when the array is empty.
*/
int XB_ArrayCheckIndex(int index, int count, const char* className);

#endif /* XB_ARRAYIMP_H */
