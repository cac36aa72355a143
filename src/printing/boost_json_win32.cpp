// The Windows build has no prebuilt Boost.JSON library: its sources are compiled here, once.
#include <boost/json/src.hpp>
