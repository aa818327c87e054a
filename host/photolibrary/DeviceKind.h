#pragma once

namespace photolibrary {

// How the viewers tell the device they run on, asked afresh each time: a
// tablet answers the idiom question with the pad idiom; a device that does
// not answer it at all is an early phone.
bool deviceIsTablet();

} // namespace photolibrary
