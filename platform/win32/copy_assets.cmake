# Copies the asset pack (pictures, sounds, tunes and the words they show)
# from FROM into TO.
file(GLOB assets "${FROM}/*.bm" "${FROM}/*.wav" "${FROM}/*.mid" "${FROM}/words.txt")
if(NOT assets)
  message(FATAL_ERROR "no asset files in ${FROM}: build the native program first")
endif()
file(COPY ${assets} DESTINATION "${TO}")
