*=$FFFE
.byte 1,2,3
