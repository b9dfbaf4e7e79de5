#pragma once
// Class-wide chains of objects linked through a next pointer of their own. Records built in
// place over packed data register themselves this way: their layout is fixed by the file and
// has no room for a container.

// Puts item at the end of the chain, so a walk meets the items in the order they were made.
template <class T> void ChainAppend(T*& first, T* item, T* T::*next)
{
    item->*next = nullptr;
    T** link = &first;
    while (*link)
        link = &((*link)->*next);
    *link = item;
}

// Takes item out of the chain; a chain without it stays as it is.
template <class T> void ChainRemove(T*& first, T* item, T* T::*next)
{
    for (T** link = &first; *link; link = &((*link)->*next)) {
        if (*link == item) {
            *link = item->*next;
            return;
        }
    }
}
