# Copies the asset pack (pictures, sounds, tunes) from FROM into TO.
file(GLOB assets "${FROM}/*.bm" "${FROM}/*.wav" "${FROM}/*.mid")
if(NOT assets)
  message(FATAL_ERROR "no asset files in ${FROM}: build the native program first")
endif()
file(COPY ${assets} DESTINATION "${TO}")
