#pragma once

// The classes this module serves: the simulated card's capture filter and the
// faulty variants the lookup tests need.

#include <windows.h>

namespace simcard::com {

enum class FilterKind {
  Card,           // IBaseFilter and IKsControl on the simulated card
  NoControl,      // IBaseFilter only
  RefusesGraph,   // JoinFilterGraph fails, so the graph can't take it
  FailsCreation,  // the class can't create its object
};

// The simulated card's family of classes, {6F1D2A4n-3C5B-4E7A-9B21-7D0C8E5A4F10}.
constexpr CLSID SimClass(unsigned long n) {
  return {0x6F1D2A40 + n, 0x3C5B, 0x4E7A, {0x9B, 0x21, 0x7D, 0x0C, 0x8E, 0x5A, 0x4F, 0x10}};
}
inline constexpr CLSID kClsidSimCard = SimClass(0);
inline constexpr CLSID kClsidSimNoControl = SimClass(1);
inline constexpr CLSID kClsidSimRefusesGraph = SimClass(2);
inline constexpr CLSID kClsidSimFailsCreation = SimClass(3);

struct FilterClass {
  const CLSID& clsid;
  FilterKind kind;
};

inline constexpr FilterClass kFilterClasses[] = {
    {kClsidSimCard, FilterKind::Card},
    {kClsidSimNoControl, FilterKind::NoControl},
    {kClsidSimRefusesGraph, FilterKind::RefusesGraph},
    {kClsidSimFailsCreation, FilterKind::FailsCreation},
};

// A class object making filters of kind under clsid (tests register extra
// classes of the same kind to tell devices apart).
HRESULT CreateFilterFactory(REFCLSID clsid, FilterKind kind, REFIID iid, void** out);

// The class object of clsid, if it is one of kFilterClasses.
HRESULT GetFilterClassObject(REFCLSID clsid, REFIID iid, void** out);

}  // namespace simcard::com
