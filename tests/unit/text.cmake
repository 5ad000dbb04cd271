# The text conversions between strategy UTF-8 and the host's modified UTF-8.
touchline_unit_suite(text unit/ModifiedUtf8Test.cpp LINK_TOOLKIT)
