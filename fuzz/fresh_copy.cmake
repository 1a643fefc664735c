# cmake -DFROM=dir -DTO=dir -P fresh_copy.cmake: TO becomes a fresh copy of FROM.
file(REMOVE_RECURSE "${TO}")
file(COPY "${FROM}/" DESTINATION "${TO}")
