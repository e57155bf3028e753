/// @file
/// CWPtArray: a growable array of untyped pointers.
///
/// Contract
/// - Storage comes from malloc/free; the array never owns, copies or frees what
///   its entries point to. A null entry is a valid entry.
/// - Capacities: 5 on construction (0 with no storage when malloc fails); a
///   full array grows to 2c + 5 (5, 15, 35, 75, ...), refused when 2c is not a
///   positive int or 2c + 5 would overflow; SetAt(i) with i + 1 >= capacity
///   re-sizes to i + 7 entries (nothing happens when i + 7 would overflow);
///   SetGrowSize(n) re-sizes to n + 5 entries (refused for n < 1 or when
///   n + 5 would overflow). Entries beyond the count are not cleared on
///   growth; RemoveAll nulls the whole storage.
/// - Results: Add and SetGrowSize return 1 done / 0 refused; RemoveAt 1/0;
///   SetAt and InsertAt always 0; Find an index or -1; GetAt null when out of
///   range. Every allocation failure is reported through the result and leaves
///   the array as it was; no exception ever leaves the array.
/// - Choice: SetGrowSize(n) with n + 5 below the count keeps the first n + 5
///   entries and cuts the count to n + 5.
/// - Lent storage (library-internal): the XML node, the one lender, may
///   construct its arrays on five slots that come with the node's own memory.
///   Every operation behaves as with malloc storage (capacity 5, non-null
///   GetMemPtr); the lent slots are never freed, and the first re-size moves
///   the entries to malloc storage (a failure leaves them where they are).
/// - Copying an array gives storage of its own with the source's capacity, the
///   source's entries, and null beyond the count. A copy whose storage cannot
///   be obtained is empty (capacity 0); an assignment that cannot obtain it
///   leaves the target unchanged. The critical section is never copied.
/// Threads: no operation locks the array's critical section; callers that
/// share an array serialise access themselves, e.g. with GetCriticalSection().
#pragma once

#include "cwbase/core/critsec.h"

/// A growable array of untyped pointers. It owns its slots (malloc/free),
/// never what the entries point to; a null entry is a valid entry. No
/// exception ever leaves it.
class CWPtArray {
 public:
  /// Count 0, capacity 5 (all null); capacity 0 without storage when malloc
  /// fails.
  CWPtArray();
  /// Storage of its own with the source's capacity and entries (null beyond
  /// the count); empty (capacity 0) when it cannot be obtained. The critical
  /// section is not copied.
  CWPtArray(const CWPtArray& other);
  /// Copies the source's capacity and entries into storage of its own; when
  /// that storage cannot be obtained the array is left unchanged.
  CWPtArray& operator=(const CWPtArray& other);
  /// Frees the slots; the objects the entries point to are untouched.
  virtual ~CWPtArray();

  /// Appends @p item; a full array first grows to 2 * capacity + 5.
  /// @return 1 added; 0 when it cannot grow (array unchanged).
  int Add(void* item);
  /// The entry at @p index, or null for an index below 0 or not below the
  /// count (a stored null reads the same).
  void* GetAt(int index);
  /// The count: entries in use, at indices 0 to count - 1.
  int GetSize() { return m_Count; }
  /// Removes the entry at @p index, moving the later entries down.
  /// @return 1 removed; 0 for an index out of range.
  int RemoveAt(int index);
  /// Stores @p item at @p index, extending the array with null entries when
  /// the index is at or beyond the count (re-sized to index + 7 entries when
  /// index + 1 >= capacity). A negative index changes nothing.
  /// @return 0 in every case, also on success.
  int SetAt(int index, void* item);
  /// Inserts @p item at @p index, moving the entries from there up; beyond
  /// the count it acts as SetAt. A negative index, or a full array that cannot
  /// grow, changes nothing.
  /// @return 0 in every case, also on success.
  int InsertAt(int index, void* item);
  /// Re-sizes the storage to @p size + 5 entries, keeping the entries (the
  /// first size + 5 of them, cutting the count, when there are more).
  /// @return 1 done; 0 for a size below 1 or when memory runs out.
  int SetGrowSize(int size);
  /// The lowest index whose entry equals @p item; -1 when none or empty.
  int Find(void* item);
  /// Nulls every slot (the whole capacity) and sets the count to 0; the
  /// storage stays and the pointed-to objects are untouched.
  void RemoveAll();
  /// The slots themselves (entry 0), or null without storage.
  void** GetMemPtr() { return m_pData; }

  /// Number of entries the storage holds.
  int GetCapacity() { return m_Capacity; }
  /// The recursive mutex carried by the array; the array never locks it.
  /// Callers that share the array lock it around every use.
  CWCriticalSection& GetCriticalSection() { return m_Lock; }

 private:
  // The node starts its two arrays on slots that come with its own memory.
  friend class CWXMLNode;

  // Count 0, capacity 5 on the five slots at `lentSlots`, which it nulls
  // (malloc storage as CWPtArray() when null). The slots must outlive the
  // array; it never frees them.
  explicit CWPtArray(void** lentSlots) noexcept;

  void StartStorage(void** slots) noexcept;  // the first 5 null slots, if any
  int Grow();                                // full array: 2c + 5, 1 done / 0 refused
  int Resize(int newCapacity);               // exact re-size keeping the first entries;
                                             // the count is cut to the new capacity

  int m_Count;
  void** m_pData;
  int m_Capacity;
  CWCriticalSection m_Lock;
  bool m_bLent;  // m_pData is lent storage: never freed, replaced on re-size
};
