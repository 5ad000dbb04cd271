touchline_unit_suite(javautils unit/JavaUtilsTest.cpp LINK_TOOLKIT)
touchline_unit_suite(adapter unit/AdapterTest.cpp)
