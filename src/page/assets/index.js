// The index page's study-wide search: a gene or rsID lists the tables where it is in a locus.
(function () {
  'use strict';
}());
