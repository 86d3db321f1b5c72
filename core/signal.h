// The signal machinery of the control tree: Boost.Signals2 signals that return the last slot's
// value, group slots by int, and take no locks (they live and fire on the GUI thread only).
//
// A slot made with boost::bind from a pointer to an IMTrackable object (every control is one)
// is disconnected automatically when that object is destroyed. This works only when the
// bind expression itself is passed to connect(); wrapping it in a boost::function first hides
// the bound pointer from the tracking.
#pragma once

#include <boost/signals2/dummy_mutex.hpp>
#include <boost/signals2/last_value.hpp>
#include <boost/signals2/signal.hpp>
#include <boost/signals2/signal_type.hpp>
#include <boost/signals2/trackable.hpp>
#include <utility>

class IMEvent;
class IMMouseEvent;
class IMKeyboardEvent;

template <class Signature>
using IMSignal =
    typename boost::signals2::signal_type<Signature,
                                          boost::signals2::keywords::combiner_type<boost::signals2::last_value<long>>,
                                          boost::signals2::keywords::group_type<int>,
                                          boost::signals2::keywords::mutex_type<boost::signals2::dummy_mutex>>::type;

using IMEventSignal = IMSignal<long(const IMEvent&)>;
using IMMouseSignal = IMSignal<long(const IMMouseEvent&)>;
using IMKeyboardSignal = IMSignal<long(const IMKeyboardEvent&)>;

using IMConnection = boost::signals2::connection;
using IMTrackable = boost::signals2::trackable;

// Emits only when the signal has slots, so the last-value combiner never sees an empty range.
// The combined value is of no interest to the framework.
template <class Signal, class... Args>
void Emit(Signal& signal, Args&&... args) {
    if (!signal.empty()) signal(std::forward<Args>(args)...);
}
